#include "postrun/postrun_form.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>

namespace postrun {

namespace {

constexpr int kIconSize = 32;

void startDetached(const QString& program, const QStringList& arguments) {
    // Not waited for and not checked: a program that cannot start is not
    // reported, and the launcher ends either way.
    QProcess::startDetached(program, arguments);
}

/// The Icon= of a desktop entry whose Exec= starts `programPath`.
QString desktopIconName(const QString& programPath) {
    const QString wanted = QFileInfo(programPath).fileName();
    if (wanted.isEmpty()) {
        return {};
    }
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        const QFileInfoList entries = QDir(dir).entryInfoList({QStringLiteral("*.desktop")}, QDir::Files);
        for (const QFileInfo& entry : entries) {
            QFile file(entry.filePath());
            if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
                continue;
            }
            QString exec;
            QString icon;
            bool inEntry = false;
            while (!file.atEnd()) {
                const QString line = QString::fromUtf8(file.readLine()).trimmed();
                if (line.startsWith(u'[')) {
                    inEntry = line == u"[Desktop Entry]";
                } else if (inEntry && line.startsWith(QStringLiteral("Exec="))) {
                    exec = QProcess::splitCommand(line.mid(5)).value(0);
                } else if (inEntry && line.startsWith(QStringLiteral("Icon="))) {
                    icon = line.mid(5);
                }
            }
            if (!icon.isEmpty() && (exec == programPath || QFileInfo(exec).fileName() == wanted)) {
                return icon;
            }
        }
    }
    return {};
}

} // namespace

QIcon programIcon(const QString& programPath) {
    const QString name = desktopIconName(programPath);
    if (!name.isEmpty()) {
        const QIcon icon = QFileInfo(name).isAbsolute() ? QIcon(name) : QIcon::fromTheme(name);
        if (!icon.isNull()) {
            return icon;
        }
    }
    const QFileInfo file(programPath);
    if (programPath.isEmpty() || !file.exists()) {
        return {};
    }
    return QFileIconProvider().icon(file);
}

PostrunMainForm::PostrunMainForm(const LaunchRequest& request, Starter starter, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowCloseButtonHint),
      m_request(request),
      m_starter(starter ? std::move(starter) : Starter(startDetached)) {
    setObjectName(QStringLiteral("SPostrunMainForm"));
    setWindowTitle(m_request.title);
    setFixedSize(251, 106);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("IconImage"));
    m_icon->setGeometry(12, 12, kIconSize, kIconSize);
    const QIcon icon = programIcon(m_request.programPath);
    if (!icon.isNull()) {
        m_icon->setPixmap(icon.pixmap(kIconSize, kIconSize));
    }

    m_label = new QLabel(m_request.question(), this);
    m_label->setObjectName(QStringLiteral("MainLabel"));
    m_label->setGeometry(68, 16, 169, 33);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);

    m_yes = new QPushButton(QStringLiteral("&Yes"), this);
    m_yes->setObjectName(QStringLiteral("YesButton"));
    m_yes->setGeometry(44, 68, 75, 25);
    m_yes->setDefault(true);
    m_no = new QPushButton(QStringLiteral("&No"), this);
    m_no->setObjectName(QStringLiteral("NoButton"));
    m_no->setGeometry(135, 68, 75, 25);
    setTabOrder(m_yes, m_no);
    m_yes->setFocus();

    connect(m_yes, &QPushButton::clicked, this, &PostrunMainForm::yesButtonClick);
    connect(m_no, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void PostrunMainForm::yesButtonClick() {
    const StartCommand command = startCommand(m_request);
    m_starter(command.program, command.arguments);
    accept();
}

} // namespace postrun
