#pragma once
#include <memory>
#include <string>

#include "skin/LayeredWindow.h"
#include "skin/SkinButtonOwner.h"
#include "skin/SkinImage.h"

namespace nb {

class SkinButton;
class SkinCanvas;

// The launcher's one message box: a skinned 303 x 176 window with one text laid out on a
// fixed character grid and an OK button, run modally. Every numbered message passes through
// it, from the user-interface thread or (through WindowedLauncherUi) the worker.
class CMessageDlg : public LayeredWindow, public SkinButtonOwner {
public:
    static constexpr int kOkButtonId = 2011;
    // The grid: 14 characters a row, 16 pixels apart, rows 15 pixels apart.
    static constexpr int kGridColumns = 14;
    static constexpr int kGridLeft = 60;
    static constexpr int kGridTop = 55;
    static constexpr int kCellWidth = 16;
    static constexpr int kRowHeight = 15;
    static constexpr int kTextPixels = 15;
    static constexpr SkinColour kTextColour = 0xFD029DFFu;

    explicit CMessageDlg(LayeredWindow* owner = nullptr);
    ~CMessageDlg() override;

    // The message in code page 936 bytes, as every numbered message is kept.
    void SetText(const std::string& gbk);
    // A text already decoded (the few fixed texts stored in another code page).
    void SetText(const std::u16string& text);
    const std::u16string& Text() const { return m_strText; }

    // The top-left corner of grid cell i, where character i of the text is drawn.
    static Point CellOrigin(int i);

    void RequestRedraw(SkinButton* button) override;
    void OnCommand(int controlId) override;

    SkinButton* OkButton() const { return m_pOkButton.get(); }

protected:
    void OnShown() override;
    bool OnKey(SkinKey key) override;

private:
    void Compose();

    SkinImage m_background;
    std::unique_ptr<SkinButton> m_pOkButton;
    std::u16string m_strText;  // cut to the 255 units the drawing buffer holds
};

// Builds the message dialog without an owner, gives it the text and runs it modally.
void RunMessageDialog(const std::string& gbkText);
void RunMessageDialog(const std::u16string& text);

}  // namespace nb
