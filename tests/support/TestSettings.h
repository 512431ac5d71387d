#pragma once

#include "settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <memory>

// A settings store of its own in a temporary folder, so tests never touch the user's.
struct TestSettings {
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store =
        std::make_unique<SettingsStore>(dir.filePath("KORA.conf"));

    SettingsStore& operator*() { return *store; }
    SettingsStore* operator->() { return store.get(); }
};

// A settings store that cannot be written: a file stands where its folder should be.
struct UnwritableSettings {
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    UnwritableSettings()
    {
        QFile blocker(dir.filePath("blocked"));
        blocker.open(QIODevice::WriteOnly);
        blocker.close();
        store = std::make_unique<SettingsStore>(dir.filePath("blocked/KORA.conf"));
    }
    SettingsStore& operator*() { return *store; }
};
