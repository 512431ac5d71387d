#pragma once

#include "settings/SettingsStore.h"

#include <QTemporaryDir>
#include <memory>

// A settings store of its own in a temporary folder, so tests never touch the user's.
struct TestSettings {
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store = std::make_unique<SettingsStore>(dir.filePath("KORA.conf"));

    SettingsStore& operator*() { return *store; }
    SettingsStore* operator->() { return store.get(); }
};
