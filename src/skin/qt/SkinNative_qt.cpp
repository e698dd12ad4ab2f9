#include "SkinNative.h"

#include <QApplication>
#include <QBitmap>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include "app/TextEncoding.h"
#include "skin/SkinSystem.h"
#include "skin/qt/QtSkin.h"

namespace nb {

// ---- LayeredWindowNative ----

LayeredWindowNative::LayeredWindowNative(LayeredWindowNative* owner, SkinWindowKind kind)
    : QDialog(owner, (kind == SkinWindowKind::MainWindow ? Qt::Window : Qt::Dialog) | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
}

LayeredWindowNative::~LayeredWindowNative() = default;

void LayeredWindowNative::SetTitle(const std::u16string& title) { setWindowTitle(ToQt(title)); }
void LayeredWindowNative::SetIconResource(int id) { setWindowIcon(LoadSkinIcon(id)); }
void LayeredWindowNative::ShowWindow() { show(); }
void LayeredWindowNative::HideWindow() { hide(); }
void LayeredWindowNative::CloseWindow() { close(); }
void LayeredWindowNative::RunModal() { exec(); }
bool LayeredWindowNative::IsShown() const { return isVisible(); }
bool LayeredWindowNative::IsMinimised() const { return isMinimized(); }
void LayeredWindowNative::Minimise() { showMinimized(); }
void LayeredWindowNative::RaiseWindow() { raise(); }
void LayeredWindowNative::ActivateNow() { activateWindow(); }
Point LayeredWindowNative::ScreenOrigin() const { return FromQt(mapToGlobal(QPoint(0, 0))); }
Size LayeredWindowNative::WindowSize() const { return FromQt(size()); }
void LayeredWindowNative::MoveTo(Point topLeft) { move(ToQt(topLeft)); }
void LayeredWindowNative::SetInitialSize(Size size) { resize(ToQt(size)); }

Rect LayeredWindowNative::ScreenArea() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) return FromQt(screen->availableGeometry());
    return {};
}

void LayeredWindowNative::KeepModalAbovePanels() const {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != this && modal->isVisible()) modal->raise();
}

LayeredWindowNative* LayeredWindowNative::OwnerWindow() const {
    return qobject_cast<LayeredWindowNative*>(parentWidget());
}

void LayeredWindowNative::RunSoon(std::function<void()> work) {
    QTimer::singleShot(0, this, std::move(work));
}

void LayeredWindowNative::PresentComposed(const SkinImage& composed, const SkinImage& background) {
    m_composedPixels = composed;
    m_composed = QtImageView(m_composedPixels);
    if (size() != m_composed.size()) setFixedSize(m_composed.size());
    UpdateShape(background);
    update();
}

void LayeredWindowNative::UpdateShape(const SkinImage& background) {
    // Transparent pixels of a per-pixel-alpha window let clicks through, and without a
    // compositing window manager they would show as black: give the window the shape of the
    // background's visible pixels. Made once per background, not on every repaint.
    if (background.Identity() == m_shapeKey) return;
    m_shapeKey = background.Identity();
    m_shapeBackground = background;
    QImage mask(background.Width(), background.Height(), QImage::Format_MonoLSB);
    if (mask.isNull()) return;
    mask.setColorCount(2);
    mask.setColor(0, qRgb(255, 255, 255));  // left out of the shape
    mask.setColor(1, qRgb(0, 0, 0));        // part of the shape
    bool opaqueEverywhere = true;
    for (int y = 0; y < background.Height(); ++y) {
        const std::uint32_t* row = background.Pixels() + static_cast<size_t>(y) * background.Width();
        for (int x = 0; x < background.Width(); ++x) {
            const bool visible = (row[x] >> 24) != 0;
            mask.setPixel(x, y, visible ? 1 : 0);
            opaqueEverywhere = opaqueEverywhere && visible;
        }
    }
    if (opaqueEverywhere) {
        clearMask();
    } else {
        setMask(QBitmap::fromImage(mask, Qt::MonoOnly));
    }
}

void LayeredWindowNative::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(event->rect(), Qt::transparent);
        if (!m_composed.isNull()) painter.drawImage(event->rect().topLeft(), m_composed, event->rect());
    }
    if (!m_bFirstFrameReported) {
        m_bFirstFrameReported = true;
        OnFirstFrame();
    }
}

void LayeredWindowNative::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    OnShown();
}

void LayeredWindowNative::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    OnHidden();
}

void LayeredWindowNative::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    OnMoved();
}

void LayeredWindowNative::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized)) OnRestored();
}

void LayeredWindowNative::keyPressEvent(QKeyEvent* event) {
    const SkinKey key = SkinKeyFromQt(event->key());
    if (OnKey(key)) {
        event->accept();
        return;
    }
    if (key == SkinKey::Enter) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void LayeredWindowNative::mousePressEvent(QMouseEvent* event) {
    QDialog::mousePressEvent(event);
    if (!m_bDragAnywhere || event->button() != Qt::LeftButton) return;
    event->accept();
    // The window manager's own move where it offers one, else the window follows the mouse.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    m_bDragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void LayeredWindowNative::mouseMoveEvent(QMouseEvent* event) {
    if (m_bDragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void LayeredWindowNative::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_bDragging = false;
    QDialog::mouseReleaseEvent(event);
}

// ---- SkinButtonNative ----

SkinButtonNative::SkinButtonNative() {
    // Input only: the owner's composition shows the button, so no background is ever painted.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);  // moves without a pressed button are what reveal hover
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::ClickFocus);
    hide();
}

SkinButtonNative::~SkinButtonNative() = default;

void SkinButtonNative::AttachTo(LayeredWindowNative* window) {
    if (window != parentWidget()) setParent(window);
    // Where buttons overlap, the one created first takes the click: each new one goes under.
    lower();
}

void SkinButtonNative::PlaceAt(const Rect& place) { setGeometry(ToQt(place)); }
Rect SkinButtonNative::Place() const { return FromQt(geometry()); }
void SkinButtonNative::ShowInput() { show(); }
void SkinButtonNative::HideInput() { hide(); }
bool SkinButtonNative::IsInputShown() const { return !isHidden(); }

void SkinButtonNative::mouseMoveEvent(QMouseEvent* event) {
    OnPointerMove(FromQt(event->position().toPoint()));
    event->accept();
}

void SkinButtonNative::leaveEvent(QEvent* event) {
    OnPointerLeave();
    QWidget::leaveEvent(event);
}

void SkinButtonNative::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    OnLeftDown();
}

void SkinButtonNative::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    OnLeftUp(FromQt(event->position().toPoint()));
}

void SkinButtonNative::keyPressEvent(QKeyEvent* event) {
    if (OnKeyDown(SkinKeyFromQt(event->key()), event->modifiers() == Qt::NoModifier, event->isAutoRepeat())) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SkinButtonNative::keyReleaseEvent(QKeyEvent* event) {
    if (OnKeyUp(SkinKeyFromQt(event->key()), event->isAutoRepeat())) {
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void SkinButtonNative::focusOutEvent(QFocusEvent* event) {
    OnFocusLost();
    QWidget::focusOutEvent(event);
}

void SkinButtonNative::paintEvent(QPaintEvent*) {}

// ---- edit boxes ----

namespace {
constexpr int kFieldBitmap = 162;
// The boxes' font is asked for by its cell height of 18 pixels; Times New Roman's em is
// about 16 pixels of that cell.
constexpr int kEditFontPixels = 16;
}  // namespace

SkinLineEdit::SkinLineEdit(SkinColour textColour, SkinEditPanel* panel)
    : QLineEdit(panel),
      m_background(QPixmap::fromImage(QtImage(LoadSkinImage(kFieldBitmap, SkinResourceType::Bitmap)))) {
    setFrame(false);
    setFont(SkinFont(kEditFontPixels));
    const QColor colour = QColor::fromRgb(textColour);
    QPalette colours = palette();
    // The style's own panel stays invisible: the bitmap painted below is the background.
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Text, colour);
    colours.setColor(QPalette::Highlight, colour);
    colours.setColor(QPalette::HighlightedText, Qt::black);
    setPalette(colours);
    setAttribute(Qt::WA_MacShowFocusRect, false);
}

void SkinLineEdit::PlaceAt(const Rect& place) { setGeometry(ToQt(place)); }
void SkinLineEdit::SetPasswordMode() { setEchoMode(QLineEdit::Password); }
void SkinLineEdit::SetName(const char* name) { setObjectName(QString::fromLatin1(name)); }
std::string SkinLineEdit::GbkText() const { return Utf16ToGbk(text().toStdU16String()); }
void SkinLineEdit::ClearText() { clear(); }
void SkinLineEdit::FocusEdit() { setFocus(); }

void SkinLineEdit::paintEvent(QPaintEvent* event) {
    if (!m_background.isNull()) {
        QPainter painter(this);
        painter.drawTiledPixmap(rect(), m_background);
    }
    QLineEdit::paintEvent(event);
}

SkinEditPanel::SkinEditPanel(LayeredWindowNative* owner) : QWidget(owner) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    hide();
}

void SkinEditPanel::PlaceAt(const Rect& place) { setGeometry(ToQt(place)); }
void SkinEditPanel::ShowPanel() { show(); }
void SkinEditPanel::HidePanel() { hide(); }
bool SkinEditPanel::IsPanelShown() const { return isVisible(); }
void SkinEditPanel::ActivatePanel() { activateWindow(); }
void SkinEditPanel::SetTabOrder(SkinLineEdit* first, SkinLineEdit* second) { setTabOrder(first, second); }

// ---- timer, threads ----

SkinTimer::SkinTimer() = default;
SkinTimer::~SkinTimer() { m_timer.stop(); }

void SkinTimer::Start(int periodMs, std::function<void()> tick) {
    m_tick = std::move(tick);
    m_timer.start(periodMs, this);
}

void SkinTimer::Stop() { m_timer.stop(); }
bool SkinTimer::IsRunning() const { return m_timer.isActive(); }

void SkinTimer::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timer.timerId() && m_tick) {
        m_tick();
        return;
    }
    QObject::timerEvent(event);
}

bool UiThreadInvoker::OnUiThread() const { return QThread::currentThread() == thread(); }

void UiThreadInvoker::PostToUiThread(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

SkinApplication::SkinApplication(int& argc, char** argv) : m_app(std::make_unique<QApplication>(argc, argv)) {}
SkinApplication::~SkinApplication() = default;

// ---- system services ----

void OpenUrlInDefaultBrowser(const std::u16string& url) {
    QDesktopServices::openUrl(QUrl(ToQt(url)));
}

void RunSystemBox(const std::u16string& text, const std::u16string& caption) {
    QMessageBox box(QMessageBox::NoIcon, ToQt(caption), ToQt(text), QMessageBox::Ok);
    box.exec();
}

}  // namespace nb
