// The browser of the web panels, built as a module of its own and loaded only when a panel
// is shown: Qt WebEngine is large, and linking it into the launcher would slow every start.
#include <QUrl>
#include <QWebEngineView>

extern "C" __attribute__((visibility("default"))) QWidget* nb_create_web_view(QWidget* parent,
                                                                              const char* utf8Url) {
    auto* view = new QWebEngineView(parent);
    view->setUrl(QUrl(QString::fromUtf8(utf8Url)));
    return view;
}
