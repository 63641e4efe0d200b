// Message boxes, questions, input boxes and the colour and file dialogs of
// the board and its editors, behind one small interface: the program shows
// real dialogs, the tests answer from a script.
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

class QWidget;

namespace tolvana {

class BoardPrompts {
public:
    virtual ~BoardPrompts() = default;

    /// A message with an OK button.
    virtual void inform(const QString& title, const QString& text) = 0;
    /// A question with Yes and No; true for Yes.
    virtual bool ask(const QString& title, const QString& question) = 0;
    /// An input box preset with `preset`; nothing when cancelled.
    virtual std::optional<QString> askText(const QString& title, const QString& prompt,
                                           const QString& preset = {}) = 0;
    /// The colour dialog preset with `preset` (0x00BBGGRR); nothing when cancelled.
    virtual std::optional<quint32> chooseColour(quint32 preset) = 0;
    /// The file dialog; an empty path when cancelled.
    virtual QString chooseFile(const QString& caption, const QString& filter) = 0;
};

/// The dialogs of the program, shown over `parent`.
class DialogPrompts final : public BoardPrompts {
public:
    explicit DialogPrompts(QWidget* parent) : m_parent(parent) {}

    void inform(const QString& title, const QString& text) override;
    bool ask(const QString& title, const QString& question) override;
    std::optional<QString> askText(const QString& title, const QString& prompt,
                                   const QString& preset) override;
    std::optional<quint32> chooseColour(quint32 preset) override;
    QString chooseFile(const QString& caption, const QString& filter) override;

private:
    QWidget* m_parent;
};

} // namespace tolvana
