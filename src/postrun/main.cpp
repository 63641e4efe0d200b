// postrun: asked by an installer as its last step whether the installed
// program is to be started now. Its one argument string names the program,
// its parameters and its title (see postrun_arguments.h).
#include <QApplication>
#include <QMessageBox>

#include <exception>

#include "postrun/postrun_arguments.h"
#include "postrun/postrun_form.h"

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const QString argumentString = postrun::argumentString(arguments);
    // Nothing to offer: end before any window (or display) is needed.
    if (argumentString.isEmpty()) {
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Postrun"));
    try {
        postrun::PostrunMainForm form(postrun::parseLaunchRequest(argumentString));
        // Either button and the close button end the launcher.
        QObject::connect(&form, &QDialog::finished, &app, &QCoreApplication::quit);
        form.show();
        app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Postrun"), QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
