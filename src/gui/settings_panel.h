// One page of the "Einstellungen" tab: a framed panel whose caption is the
// page name. A page shows its share of the options (load) and gives it back
// when "speichern" is pressed (collect); every change the user makes to one
// of its option controls is announced by edited(), which paints "speichern"
// red. Below the page's own controls, extensionArea() takes the widgets that
// other parts of the window add to the page (the call-name editor, the
// import and upload buttons, ...).
#pragma once

#include <QGroupBox>
#include <QVBoxLayout>

#include "records/settings.h"

namespace tolvana::gui {

class SettingsPanel : public QGroupBox {
    Q_OBJECT

public:
    explicit SettingsPanel(const QString& pageName, QWidget* parent = nullptr);

    QString pageName() const { return title(); }

    /// Shows the options in the page's controls.
    virtual void load(const MonitorSettings& settings);
    /// Writes the page's controls into the options.
    virtual void collect(MonitorSettings& settings) const;

    /// The page's own controls go here.
    QVBoxLayout* content() const { return m_content; }
    /// Widgets added by other parts of the window, below the page's own.
    QVBoxLayout* extensionArea() const { return m_extensions; }

signals:
    /// The user changed an option on this page (not yet saved).
    void edited();

private:
    QVBoxLayout* m_content;
    QVBoxLayout* m_extensions;
};

} // namespace tolvana::gui
