// The launcher's one window: the program's icon, the question whether to
// start it, "&Yes" and "&No".
//
//   +------------------------------------------+  251 x 106, centred,
//   | [icon]   Programm starten:  My App        |  fixed size, close
//   |  32x32                                    |  button only
//   |        [ &Yes ]       [ &No ]             |
//   +------------------------------------------+
//
// "&Yes" starts the command without waiting for it and closes the window;
// "&No" and the close button close it. Closing the window ends the launcher.
#pragma once

#include <QDialog>

#include <functional>

#include "postrun/postrun_arguments.h"

class QLabel;
class QPushButton;

namespace postrun {

class PostrunMainForm final : public QDialog {
    Q_OBJECT

public:
    /// Starts a program detached; the result is not looked at.
    using Starter = std::function<void(const QString& program, const QStringList& arguments)>;

    /// `starter` replaces the real start (tests).
    explicit PostrunMainForm(const LaunchRequest& request, Starter starter = {}, QWidget* parent = nullptr);

    QLabel* iconImage() const { return m_icon; }
    QLabel* mainLabel() const { return m_label; }
    QPushButton* yesButton() const { return m_yes; }
    QPushButton* noButton() const { return m_no; }

private:
    void yesButtonClick();

    LaunchRequest m_request;
    Starter m_starter;
    QLabel* m_icon;
    QLabel* m_label;
    QPushButton* m_yes;
    QPushButton* m_no;
};

/// The icon of the program: the one its desktop entry names, else the one
/// the platform shows for the file. Null when neither has one.
QIcon programIcon(const QString& programPath);

} // namespace postrun
