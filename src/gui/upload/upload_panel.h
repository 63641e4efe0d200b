// The upload's share of the "HTML-Export" page: the buttons
// "Html-Seite erzeugen", "hochladen" and "testen", a note while a transfer
// runs, and the upload list with what happened to each upload.
#pragma once

#include <QWidget>

class QLabel;
class QListView;
class QPushButton;

namespace tolvana::gui {

class WebUpload;

class UploadPanel final : public QWidget {
    Q_OBJECT

public:
    explicit UploadPanel(WebUpload& upload, QWidget* parent = nullptr);

    QPushButton* writeButton() const { return m_write; }
    QPushButton* uploadButton() const { return m_upload; }
    QPushButton* testButton() const { return m_test; }
    QLabel* busyNote() const { return m_busy; }
    QListView* list() const { return m_list; }

private:
    QPushButton* m_write;
    QPushButton* m_upload;
    QPushButton* m_test;
    QLabel* m_busy;
    QListView* m_list;
};

} // namespace tolvana::gui
