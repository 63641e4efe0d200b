// What the launcher is told: one argument string from the installer,
//
//   <program path>#;#<parameters>#;#<title>
//
// cut at the first two separators, each part taken as it stands (no quotes
// removed, no blanks trimmed):
//
//   "/opt/app/run#;#-a -b#;#My App"   path /opt/app/run, parameters "-a -b", title "My App"
//   "/opt/app/run#;##;#"              empty parameters, title "run" (the path's file name)
//   "/opt/app/run#;#-a"               parameters "-a", no title
//   "/opt/app/run"                    path only, no parameters, no title
//   "a#;#b#;#c#;#d"                   title "c#;#d": only two separators count
#pragma once

#include <QString>
#include <QStringList>

namespace postrun {

inline constexpr char kSeparator[] = "#;#";

struct LaunchRequest {
    QString programPath; ///< the file started, and whose icon the dialog shows
    QString parameters;
    QString title;       ///< title bar and question
    /// Program path, one blank, parameters (the blank also when there are none).
    QString command() const { return programPath + u' ' + parameters; }
    /// "Programm starten:  <title>     ", the question under the icon.
    QString question() const;
};

LaunchRequest parseLaunchRequest(const QString& argumentString);

/// The argument string as the installer wrote it: the program's arguments
/// joined by single blanks (an installer that quoted it passes one argument).
QString argumentString(const QStringList& arguments);

/// The file-name part of a path: what follows its last '\', '/' or ':'.
QString fileNamePart(const QString& path);

/// How the command is started: the program path (one pair of enclosing
/// double quotes, as Windows installers write paths with blanks, dropped)
/// and the parameters split as a shell splits them.
struct StartCommand {
    QString program;
    QStringList arguments;
};
StartCommand startCommand(const LaunchRequest& request);

} // namespace postrun
