#include "gui/colours.h"

#include <QVariant>
#include <QWidget>

namespace tolvana::gui {

namespace {
constexpr char kPaintedProperty[] = "tolvanaPainted";
}

void paintWidget(QWidget* widget, std::optional<QColor> colour) {
    if (paintedColour(widget) == colour) {
        return;
    }
    // A style sheet, since not every style paints push buttons in the
    // palette's button colour; the class selector (namespaces written with
    // "--") keeps child widgets as they are.
    if (colour) {
        widget->setStyleSheet(QStringLiteral("%1 { background-color: %2; }")
                                  .arg(QString::fromLatin1(widget->metaObject()->className())
                                           .replace(QLatin1String("::"), QLatin1String("--")),
                                       colour->name()));
        widget->setProperty(kPaintedProperty, *colour);
    } else {
        widget->setStyleSheet(QString());
        widget->setProperty(kPaintedProperty, QVariant());
    }
}

std::optional<QColor> paintedColour(const QWidget* widget) {
    const QVariant value = widget->property(kPaintedProperty);
    if (!value.isValid()) {
        return std::nullopt;
    }
    return value.value<QColor>();
}

} // namespace tolvana::gui
