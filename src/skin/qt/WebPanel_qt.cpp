#include "SkinNative.h"

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLibrary>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/TraceLog.h"
#include "platform/ExecutablePath.h"
#include "platform/Files.h"
#include "skin/SkinSystem.h"
#include "skin/SkinText.h"
#include "skin/qt/QtSkin.h"
#include "skin/qt/WebPageUnavailable.h"

namespace nb {
namespace {

using OpenOutside = void (*)(void* context, const char* utf8Url);
using CreateWebView = QWidget* (*)(QWidget* parent, const char* utf8Url, OpenOutside openOutside,
                                   void* context);

// The browser module's way back: `context` is the panel that made the view.
void OpenOutsideForPanel(void* context, const char* utf8Url) {
    // The view is a child of the panel, so the panel outlives every request of its page.
    if (context && utf8Url)
        static_cast<WebPanel*>(context)->OpenNewWindowRequest(QUrl(QString::fromUtf8(utf8Url)));
}

WebPanel::ContentFactory& TestFactory() {
    static WebPanel::ContentFactory factory;
    return factory;
}

bool SwitchedOff() {
    const char* value = std::getenv("NB_WEB_PANELS");
    return value && (std::strcmp(value, "0") == 0 || std::strcmp(value, "off") == 0);
}

bool OffscreenPlatform() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return platform && std::strcmp(platform, "offscreen") == 0;
}

// Set once the browser's needs have been met before the application object was made.
bool g_browserPrepared = false;

// The browser module beside the executable (an installation), else in the build folder.
std::vector<std::string> BrowserModuleCandidates() {
    std::vector<std::string> candidates;
#ifdef NB_HAVE_WEBENGINE
    std::string exe;
    if (platform::GetExecutablePath(exe)) {
        if (const auto slash = exe.rfind(platform::kPathSeparator); slash != std::string::npos)
            candidates.push_back(exe.substr(0, slash + 1) + "nbwebview.so");
    }
#ifdef NB_WEBVIEW_MODULE_DIR
    candidates.push_back(NB_WEBVIEW_MODULE_DIR "/nbwebview.so");
#endif
#endif
    return candidates;
}

CreateWebView BrowserModule() {
    static const CreateWebView create = []() -> CreateWebView {
        for (const std::string& path : BrowserModuleCandidates()) {
            if (!platform::FileExists(path)) continue;
            QLibrary library(QString::fromLocal8Bit(path.c_str()));
            if (!library.load()) {
                TraceLog("web panels: %s\n", library.errorString().toLocal8Bit().constData());
                continue;
            }
            if (auto fn = reinterpret_cast<CreateWebView>(library.resolve("nb_create_web_panel_view")))
                return fn;
        }
        return nullptr;
    }();
    return create;
}

}  // namespace

WebPanel::WebPanel(LayeredWindowNative* owner, const WebPanelLayout& layout, const std::string& url)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint), m_layout(layout), m_url(ToQt(SkinTextFromGbk(url))) {
    // The owner is a modal window; the panel must take input all the same, and it goes
    // with its owner (a close request only hides it: the owner shows it again).
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(ToQt(m_layout.size));
}

WebPanel::~WebPanel() = default;

void WebPanel::FollowOwner(Point ownerOrigin) {
    // A fixed size was set at construction; only the place follows the owner.
    move(ToQt(ownerOrigin + m_layout.offset));
}

void WebPanel::ShowPanel() { show(); }
void WebPanel::HidePanel() { hide(); }
void WebPanel::RaisePanel() { raise(); }
bool WebPanel::IsPanelShown() const { return isVisible(); }

bool WebPanel::PrepareBrowser() {
    if (SwitchedOff() || OffscreenPlatform()) return false;
    bool found = false;
    for (const std::string& path : BrowserModuleCandidates()) found = found || platform::FileExists(path);
    if (!found) return false;
    // The browser needs shared GL contexts from the start; they cost a GL stack in every run,
    // so only a run that may show pages asks for them. Its sandbox refuses to run as root.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    g_browserPrepared = true;
    return true;
}

bool WebPanel::BrowserAvailable() {
    if (!g_browserPrepared || SwitchedOff()) return false;
    // The offscreen platform has no GL context for the browser's compositor.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return false;
    return BrowserModule() != nullptr;
}

void WebPanel::SetContentFactoryForTests(ContentFactory factory) {
    TestFactory() = std::move(factory);
}

void WebPanel::EnsureContent() {
    if (m_pContent) return;
    if (TestFactory()) {
        m_pContent = TestFactory()(this, m_url);
    } else if (BrowserAvailable()) {
        m_pContent = BrowserModule()(this, m_url.toUtf8().constData(), &OpenOutsideForPanel, this);
        m_bBrowser = m_pContent != nullptr;
    }
    if (!m_pContent) {
        // The part of the content inside the panel, in the content's own coordinates.
        const QRect visible(-ToQt(m_layout.controlRect.Origin()), ToQt(m_layout.size));
        m_pContent = new WebPageUnavailable(this, m_url, visible);
    }
    m_pContent->setGeometry(ToQt(m_layout.controlRect));
    // Keys are taken from the page's widgets before they see them; the panel itself only
    // gets what the page passes up, so a key is never handled twice.
    WatchKeys(m_pContent);
    if (m_pContent->focusPolicy() == Qt::NoFocus) m_pContent->setFocusPolicy(Qt::ClickFocus);
    setFocusProxy(m_pContent);
    m_pContent->show();
}

void WebPanel::Navigate() {
    // Queued, so that the browser's start never holds up the owner's first frame.
    if (!m_pContent) QTimer::singleShot(0, this, [this] { EnsureContent(); });
}

void WebPanel::OpenNewWindowRequest(const QUrl& url) {
    // The page chooses this address: only web pages leave the launcher, never a local file or
    // a program registered for some other scheme.
    if (!url.isValid()) return;
    const std::u16string address = url.toString().toStdU16String();
    if (IsWebAddress(address)) OpenUrlInDefaultBrowser(address);
}

void WebPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Navigate();
}

void WebPanel::WatchKeys(QObject* object) {
    // The browser builds its input widgets lazily: watch each new child as it arrives.
    object->installEventFilter(this);
    for (QObject* child : object->children())
        if (child->isWidgetType()) WatchKeys(child);
}

bool WebPanel::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::ChildAdded: {
            QObject* child = static_cast<QChildEvent*>(event)->child();
            if (child && child->isWidgetType()) WatchKeys(child);
            break;
        }
        case QEvent::ShortcutOverride: {
            // Claim Escape and Enter before any shortcut of the page can take them.
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                event->accept();
                return true;
            }
            break;
        }
        case QEvent::KeyPress:
            if (HandleKey(static_cast<QKeyEvent*>(event))) return true;
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

bool WebPanel::HandleKey(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QWidget* owner = parentWidget();
        if (!owner) return false;
        // The owner answers as if the key had been pressed in it; what it ignores goes on
        // to the page.
        QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat(),
                       static_cast<quint16>(event->count()));
        const bool handled = QCoreApplication::sendEvent(owner, &copy) && copy.isAccepted();
        if (handled) event->accept();
        return handled;
    }
    return false;
}

}  // namespace nb
