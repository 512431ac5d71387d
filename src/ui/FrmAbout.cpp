#include "FrmAbout.h"

#include "AppIcon.h"
#include "FrmMain.h"
#include "Twips.h"
#include "common/KoraError.h"
#include "common/Version.h"
#include "station/MessageBoxes.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <cmath>

namespace {
constexpr int ClientWidth = 4440;
constexpr int ClientHeight = 2070;

struct ControlRow {
    const char* name;
    const char* text; // UTF-8
    int left, top, width, height;
    Qt::Alignment alignment;
    enum class Ink { Default, Black } ink;
};
using Ink = ControlRow::Ink;
const ControlRow IconBox = {"picIcon", "", 120, 240, 540, 540, {}, Ink::Default};
const ControlRow OkButton = {"cmdOK", "OK", 1380, 1200, 1380, 345, {}, Ink::Default};
const ControlRow Labels[] = {
    {"copyright", "copyright", 120, 1680, 4155, 255, Qt::AlignRight, Ink::Default},
    {"lblDescription", "ｱﾌﾟﾘｹｰｼｮﾝの説明", 780, 420, 3585, 270, Qt::AlignLeft, Ink::Black},
    {"lblTitle", "ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ", 780, 120, 1065, 225, Qt::AlignLeft, Ink::Black},
    {"lblVersion", "ﾊﾞｰｼﾞｮﾝ", 1860, 120, 2055, 225, Qt::AlignLeft, Ink::Default},
};
constexpr int RuleY = 1140;
constexpr int RuleLength = 4380;

// The rule between the texts and the button: a grey line with a wider white one drawn over it.
class EtchedRule : public QWidget {
public:
    explicit EtchedRule(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("Line1"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(0, Twips::toPixels(RuleY) - 1, Twips::toPixels(RuleLength) + 1, 3);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const int y = 1;
        painter.setPen(QPen(QColor(128, 128, 128), 1, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(0, y, width() - 1, y);
        painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(0, y, width() - 1, y);
    }
};

float checkedSum(float a, float b)
{
    const float sum = a + b;
    if (std::isnan(sum))
        throw KoraError(ErrorNumber::InvalidOperation, QStringLiteral("Invalid procedure call"));
    if (std::isinf(sum))
        throw KoraError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
    return sum;
}
} // namespace

const char* const FrmAbout::Copyright = "Copyright (C) 2026 The KORA developers";

FrmAbout::FrmAbout(const FrmMain& main, MessageBoxes& messages)
    : QDialog(const_cast<FrmMain*>(&main), Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                               Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_messages(messages)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Version Info."));
    setFixedSize(Twips::size(ClientWidth, ClientHeight));

    m_picIcon = new QLabel(this);
    m_picIcon->setObjectName(QString::fromLatin1(IconBox.name));
    m_picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_picIcon->setLineWidth(2);
    m_picIcon->setPixmap(QPixmap::fromImage(AppIcon::image(32)));
    // The box fits its picture: 32 pixels inside a 2-pixel frame.
    m_picIcon->setGeometry(Twips::toPixels(IconBox.left), Twips::toPixels(IconBox.top), 36, 36);

    for (const ControlRow& row : Labels) {
        auto* label = new QLabel(QString::fromUtf8(row.text), this);
        label->setObjectName(QString::fromLatin1(row.name));
        label->setGeometry(Twips::rect(row.left, row.top, row.width, row.height));
        label->setAlignment(row.alignment | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (row.ink == Ink::Black) {
            QPalette black = label->palette();
            black.setColor(QPalette::WindowText, Qt::black);
            label->setPalette(black);
        }
    }
    m_copyright = findChild<QLabel*>(QStringLiteral("copyright"));
    m_lblDescription = findChild<QLabel*>(QStringLiteral("lblDescription"));
    m_lblTitle = findChild<QLabel*>(QStringLiteral("lblTitle"));
    m_lblVersion = findChild<QLabel*>(QStringLiteral("lblVersion"));

    new EtchedRule(this);

    m_cmdOK = new QPushButton(QString::fromLatin1(OkButton.text), this);
    m_cmdOK->setObjectName(QString::fromLatin1(OkButton.name));
    m_cmdOK->setGeometry(Twips::rect(OkButton.left, OkButton.top, OkButton.width, OkButton.height));
    m_cmdOK->setDefault(true);
    connect(m_cmdOK, &QPushButton::clicked, this, &FrmAbout::okClicked);
    // Escape rejects the dialog, which closes it like OK.

    try {
        load(main);
    } catch (const KoraError&) {
        m_messages.plain(QStringLiteral("frmAbout.Form_Load Error"));
    }
}

void FrmAbout::load(const FrmMain& main)
{
    const float left = checkedSum(main.leftTwips(), 50.0f);
    move(Twips::toPixels(left), y());
    const float top = checkedSum(main.topTwips(), 500.0f);
    move(x(), Twips::toPixels(top));
    setWindowTitle(AppTitle + " Version Info.");
    m_lblVersion->setText(QStringLiteral("Ver. ") + Version::text());
    m_lblTitle->setText(AppTitle);
    m_lblDescription->setText(QStringLiteral("Weather station Program"));
    m_copyright->setText(QString::fromLatin1(Copyright));
}

void FrmAbout::okClicked()
{
    try {
        accept();
    } catch (...) {
        m_messages.plain(QStringLiteral("frmAbout.cmdOK_Click Error"));
    }
}
