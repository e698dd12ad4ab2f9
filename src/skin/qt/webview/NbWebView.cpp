// The browser of the web panels, built as a module of its own and loaded only when a panel
// is shown: Qt WebEngine is large, and linking it into the launcher would slow every start.
#include <QUrl>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

using NbOpenOutside = void (*)(void* context, const char* utf8Url);

// `openOutside` receives every address the page wants a new window for (a link with
// target=_blank, window.open); the panel never opens a window of its own.
extern "C" __attribute__((visibility("default"))) QWidget* nb_create_web_panel_view(QWidget* parent,
                                                                                    const char* utf8Url,
                                                                                    NbOpenOutside openOutside,
                                                                                    void* context) {
    auto* view = new QWebEngineView(parent);
    // A request nobody takes ends here: the view's own createWindow makes no window.
    QObject::connect(view->page(), &QWebEnginePage::newWindowRequested, view,
                     [openOutside, context](QWebEngineNewWindowRequest& request) {
                         if (openOutside)
                             openOutside(context, request.requestedUrl().toString().toUtf8().constData());
                     });
    view->setUrl(QUrl(QString::fromUtf8(utf8Url)));
    return view;
}
