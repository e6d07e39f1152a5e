// The message box of the slide show, drawn inside the slide show's own window instead of as a
// window of its own. A compositor or window manager places, stacks and focuses a second
// top-level window as it sees fit: on another output, under the show, or taking the show's
// full-screen state and the keyboard away; inside a screen-saver daemon's window it would stand
// under the daemon's. A widget inside the show's window has none of these problems and needs no
// keyboard grab of its own.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

namespace quildor::qt {

// Shows the box (a title bar of its own, the text with its line breaks, an OK button with the
// keyboard) inside `show`, centred on `centre` (in `show`'s coordinates) and kept whole inside
// it, and returns once the user answers it (OK clicked; Enter, Space or Escape pressed) or the
// show is closed or hidden. The caller keeps the show's own input handlers away meanwhile.
void ExecInside(QWidget& show, QRect centre, const QString& title, const QString& text);

}  // namespace quildor::qt
