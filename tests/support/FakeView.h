#pragma once

#include "measurement/MainView.h"

#include <QMap>
#include <QStringList>
#include <optional>

class FakeView : public MainView {
public:
    QMap<Label, QString> texts;
    std::optional<std::uint32_t> indicator;
    bool minimized = false;
    QString title = "KORa Ver 0.0.1";
    int labelWrites = 0;

    QString labelText(Label label) const override { return texts.value(label); }
    void setLabelText(Label label, const QString& text) override
    {
        texts[label] = text;
        ++labelWrites;
    }
    void setIndicatorColour(std::uint32_t colour) override { indicator = colour; }
    bool isMinimized() const override { return minimized; }
    void setTitle(const QString& text) override { title = text; }
    // Each notice as "shown | whole".
    QStringList notices;
    void showNotice(const QString& shown, const QString& whole) override
    {
        texts[Label::Status] = shown;
        notices << shown + " | " + whole;
    }
};
