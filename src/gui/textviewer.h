#pragma once
/// A read-only window on a text file, for when no editor is found: logs,
/// reports and command files still open, with a note on how to choose an
/// editor.

#include <QString>

class QWidget;

namespace vdln::gui {

/// The largest file shown whole; a longer one shows its beginning and says so.
inline constexpr qint64 kTextViewerLimit = qint64{16} * 1024 * 1024;

/// Opens `file` in a window of its own (deleted when closed); nullptr when
/// the file cannot be read (`why` then holds the reason).
QWidget* openTextViewer(const QString& file, QWidget* parent, QString* why = nullptr);

}  // namespace vdln::gui
