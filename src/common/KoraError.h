#pragma once

#include <QString>
#include <stdexcept>

// An error raised by a port, settings or measurement operation. It carries a number and a
// description, like the errors the user sees in the program's message boxes.
class KoraError : public std::runtime_error {
public:
    KoraError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), m_number(number),
          m_description(description)
    {
    }

    int number() const { return m_number; }
    const QString& description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

namespace ErrorNumber {
constexpr int Overflow = 6;
constexpr int DivisionByZero = 11;
constexpr int TypeMismatch = 13;
constexpr int InvalidOperation = 5;
constexpr int FileWrite = 75;
constexpr int SettingsWrite = 70;
constexpr int Internal = 51;
constexpr int InvalidPortNumber = 8002;
constexpr int PortAlreadyOpen = 8005;
// The device behind the port does not exist (an unplugged adapter).
constexpr int PortMissing = 8010;
// The device exists but cannot be opened: busy, permission denied, or another reason.
constexpr int PortOpenFailed = 8011;
constexpr int DeviceLost = 8012;
constexpr int PortNotOpen = 8018;
constexpr int InvalidSettings = 8015;
} // namespace ErrorNumber
