#include "textviewer.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QWidget>

namespace vdln::gui {

QWidget* openTextViewer(const QString& file, QWidget* parent, QString* why) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        if (why) *why = f.errorString();
        return nullptr;
    }
    const QByteArray bytes = f.read(kTextViewerLimit);
    const bool cut = !f.atEnd();
    auto* w = new QWidget(parent, Qt::Window);
    w->setObjectName("textViewer");
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setWindowTitle(QFileInfo(file).fileName() + " - Vardelon");
    auto* lay = new QVBoxLayout(w);
    auto* note = new QLabel(
        "No editor was found, so the file is shown here, read-only. \"Change Editor\" under Options chooses "
        "one.");
    note->setObjectName("textViewerNote");
    note->setWordWrap(true);
    lay->addWidget(note);
    auto* path = new QLabel(file);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lay->addWidget(path);
    auto* text = new QPlainTextEdit;
    text->setObjectName("textViewerText");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QString content = QString::fromLocal8Bit(bytes);
    content.remove('\r');
    if (cut)
        content +=
            QString("\n[Only the first %1 MB are shown.]").arg(kTextViewerLimit / (qint64{1024} * 1024));
    text->setPlainText(content);
    lay->addWidget(text, 1);
    auto* bb = new QDialogButtonBox(QDialogButtonBox::Close);
    QObject::connect(bb, &QDialogButtonBox::rejected, w, &QWidget::close);
    lay->addWidget(bb);
    w->resize(760, 520);
    w->show();
    return w;
}

}  // namespace vdln::gui
