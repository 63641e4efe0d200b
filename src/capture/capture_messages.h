// What the sound-card input tells the user, in one place: the GUI shows
// these as message boxes (title, text, icon), tolvana-decode prints the text
// on standard error. The texts are the program's own German messages.
#pragma once

#include <QMetaType>
#include <QString>

namespace tolvana {

enum class CaptureProblem {
    NoDevice,       ///< the device list is empty
    NoDeviceChosen, ///< Start without a device selected
    CannotOpen,     ///< the chosen device cannot be opened (busy, gone, no audio server)
    DeviceLost,     ///< the device failed or went away while capturing; capture has stopped
    Overrun,        ///< sound was lost because processing was held up (capture goes on)
};

struct CaptureMessage {
    /// How a message box shows it.
    enum class Icon { None, Critical, Warning };

    QString title; ///< empty: the application's own title
    QString text;
    Icon icon = Icon::None;
};

/// The message for `problem`. `detail` fills in what the text names: the
/// device for DeviceLost, the lost time in seconds for Overrun.
CaptureMessage captureMessage(CaptureProblem problem, const QString& detail = {});

} // namespace tolvana

Q_DECLARE_METATYPE(tolvana::CaptureProblem)
