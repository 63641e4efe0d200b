#include "gui/upload/upload_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

#include "export/status_page_upload.h"
#include "export/upload_log.h"
#include "export/upload_texts.h"
#include "gui/upload/web_upload.h"

namespace tolvana::gui {

namespace {
QString text(const char* utf8) { return QString::fromUtf8(utf8); }
} // namespace

UploadPanel::UploadPanel(WebUpload& upload, QWidget* parent) : QWidget(parent) {
    using namespace upload_text;
    m_write = new QPushButton(text(kWritePage), this);
    m_write->setObjectName(QStringLiteral("Command6"));
    m_upload = new QPushButton(text(kUpload), this);
    m_upload->setObjectName(QStringLiteral("Command7"));
    m_test = new QPushButton(text(kTest), this);
    m_test->setObjectName(QStringLiteral("CommandTest"));
    m_busy = new QLabel(text(kBusy), this);
    m_busy->setVisible(upload.upload().busy());
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("List5"));
    m_list->setModel(&upload.log());
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(m_write);
    buttons->addWidget(m_upload);
    buttons->addWidget(m_test);
    buttons->addWidget(m_busy);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(buttons);
    layout->addWidget(m_list, 1);

    connect(m_write, &QPushButton::clicked, &upload, &WebUpload::writePage);
    connect(m_upload, &QPushButton::clicked, &upload, &WebUpload::uploadNow);
    connect(m_test, &QPushButton::clicked, &upload, &WebUpload::testNow);
    connect(&upload.upload(), &StatusPageUpload::busyChanged, m_busy, &QLabel::setVisible);
    // The newest entry stays in sight.
    connect(&upload.log(), &UploadLog::entryAdded, m_list, [this] { m_list->scrollToBottom(); });
}

} // namespace tolvana::gui
