// nb-textview TITLE FILE: shows a UTF-8 text file in a small window until it is closed. The
// demo's stand-in game client shows the command line it received with it; the server names
// there are Chinese, which the X toolkit's own message box cannot draw.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: nb-textview TITLE FILE\n");
        return 2;
    }
    QFile file(args.at(2));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "nb-textview: cannot read %s: %s\n", qPrintable(args.at(2)),
                     qPrintable(file.errorString()));
        return 1;
    }
    // Bytes that are not UTF-8 show as replacement characters, never as another code page.
    const QString text = QString::fromUtf8(file.readAll());

    QDialog window;
    window.setWindowTitle(args.at(1));
    auto* layout = new QVBoxLayout(&window);
    auto* view = new QPlainTextEdit(text, &window);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(view);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &window);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    layout->addWidget(buttons);
    window.resize(560, 260);
    window.show();
    return app.exec();
}
