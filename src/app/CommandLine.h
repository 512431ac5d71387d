#pragma once

#include <QString>
#include <QStringList>

// What the user asked for on the command line.
struct CommandLine {
    enum class Outcome { Run, Help, Version, Error, Climate };
    // The program read for: kora, whose window --headless turns off, or the service's korad,
    // which never has one.
    enum class Face { Window, Service };

    Outcome outcome = Outcome::Run;
    bool headless = false;
    bool verbose = false;
    // The folder for wxnow.txt; empty for the working folder.
    QString reportFolder;
    // The folder of the archive of reports: the user's data folder unless chosen.
    QString archiveFolder;
    // The month (YYYY-MM) or year (YYYY) whose climate summary to print, for Climate.
    QString climatePeriod;
    // The MQTT broker's address in place of the settings' one, and the file of its password.
    QString mqttUrl;
    QString mqttPasswordFile;
    // The address of the station's web page, in place of the settings' one.
    QString listen;
    // The text to print for Help and Version; for Error, the one-line message.
    QString text;
    QString usage;
    // The program's own name, as the shell shows it.
    QString program;
    // What the window's QApplication is to read: the program's name and Qt's own options, each
    // value apart from its option.
    QStringList qtArguments;

    // What every start of the program does first: its standard streams made safe to write, its
    // names for the settings set; returns its arguments as typed (in UTF-16 on Windows, also a
    // folder named outside the ANSI code page).
    static QStringList programStart(int argc, char* argv[]);
    static CommandLine parse(const QStringList& arguments, Face face = Face::Window);
    // The exit status for what is not a run: 0 for help, version and a summary, 2 for a bad
    // command line, 1 for a summary of an archive that is not there.
    int print() const;
    // The climate summary asked for, from the archive; false with why where there is none.
    bool climateSummary(QByteArray& summary) const;
    // The same in a message box, for a windowed program started without a console. (With the
    // window's library.)
    int showInBox() const;

    // Whether there is somewhere to print to. A windowed program on Windows has no console of its
    // own: it prints where its output was sent, else in the console it was started from, whose
    // streams it takes; false where there is neither. Elsewhere always true.
    static bool attachConsole();
};
