#pragma once

#include <QString>

#include <functional>

// Where the settings file and the tally file live. Both belong in the folder
// of the program's executable, as the lobby program expects. Where that
// folder is not writable (an installed program), the settings file goes to
// the user's configuration folder ($XDG_CONFIG_HOME/climora, else
// ~/.config/climora) and the tally file to the user's data folder
// ($XDG_DATA_HOME/climora, else ~/.local/share/climora); such a folder is
// created when the path is asked for.
class SettingsLocation {
public:
    static constexpr const char* iniFileName = "orvanelobby.ini";
    static constexpr const char* tallyFileName = "Climoratally.tld";
    static constexpr const char* folderName = "climora";

    // Answers whether files can be created in a folder.
    using WritableCheck = std::function<bool(const QString& folder)>;

    // Everything the choice depends on, so that it can be made for any setting.
    struct Context {
        QString exeDir;
        QString home;
        QString configHome;     // $XDG_CONFIG_HOME; ignored when empty or relative
        QString dataHome;       // $XDG_DATA_HOME; likewise
        WritableCheck writable; // isWritableFolder when empty
    };

    // The paths for this program, its user and its environment.
    static QString iniPath();
    static QString tallyPath();

    static QString iniPath(const Context& context);
    static QString tallyPath(const Context& context);

    // The running program's executable folder, home and environment.
    static Context currentContext();

    // Tries to create (and removes again) a file in the folder; permission
    // bits alone do not tell, e.g. for a read-only mount or the super user.
    static bool isWritableFolder(const QString& folder);

private:
    static QString locate(const Context& context, const QString& fileName, const QString& xdgHome,
                          const QString& homeRelative);
};
