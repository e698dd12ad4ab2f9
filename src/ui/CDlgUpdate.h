#pragma once
#include <functional>
#include <memory>
#include <string>

#include "skin/LayeredWindow.h"
#include "skin/SkinButtonOwner.h"
#include "skin/SkinImage.h"
#include "ui/UpdateProgress.h"

namespace nb {

class CDlgAnnounce;
class CDlgWebPicture;
class LauncherContext;
class SkinButton;

// The window of a patch run: the installed build and the published version, the progress of
// the download and then of the extraction, the two web panels and four buttons. It starts
// the update worker when it is first shown and recomposes itself twice a second from the
// values the worker publishes; it never writes them. The worker closes it when the patch is
// applied or has failed; the user may close it at any time.
// The window has no default button and nothing to do with Enter: left unanswered, the Enter
// a web panel passes up goes back to its page.
class CDlgUpdate : public LayeredWindow, public SkinButtonOwner {
public:
    static constexpr int kCloseId = 2031;
    static constexpr int kSecondId = 2032;
    static constexpr int kDownloadPageId = 2033;
    static constexpr int kBannerId = 2038;
    static constexpr int kTimerPeriodMs = 500;

    // `startWorker` starts the patch cycle (the application's worker thread); it runs once,
    // when the window is first shown.
    explicit CDlgUpdate(LauncherContext& context, std::function<void()> startWorker = {});
    ~CDlgUpdate() override;

    void RequestRedraw(SkinButton* button) override;
    void OnCommand(int controlId) override;

    SkinButton* Button(int controlId) const;
    CDlgAnnounce* Announce() const { return m_pAnnounce.get(); }
    CDlgWebPicture* WebPicture() const { return m_pWebPicture.get(); }
    float Fraction() const { return m_fFraction; }
    const std::string& ProgressText() const { return m_strProgressText; }
    const std::string& SpeedText() const { return m_strSpeedText; }
    bool TimerRunning() const { return m_timer.IsRunning(); }

protected:
    void OnShown() override;
    void OnHidden() override;
    void OnMoved() override;

private:
    void Compose();
    void PlacePanels();

    LauncherContext& m_context;
    std::function<void()> m_startWorker;
    SkinImage m_background;
    SkinImage m_progressFill;
    SkinImage m_progressFrame;
    SkinImage m_emblem;
    float m_fFraction = 0.0f;
    std::string m_strProgressText;
    DownloadRateEstimate m_rate;
    std::string m_strSpeedText;
    // In the order they are drawn.
    std::unique_ptr<SkinButton> m_pButtons[4];
    std::unique_ptr<CDlgWebPicture> m_pWebPicture;
    std::unique_ptr<CDlgAnnounce> m_pAnnounce;
    SkinTimer m_timer;
    bool m_bStarted = false;
};

}  // namespace nb
