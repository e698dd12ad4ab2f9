#include "app/LauncherContext.h"

#include "app/LauncherUi.h"

namespace nb {
namespace {
std::atomic<LauncherContext*> g_context{nullptr};
const std::string kEmpty;
}  // namespace

LauncherContext* TheContext() { return g_context.load(std::memory_order_acquire); }
void SetTheContext(LauncherContext* context) { g_context.store(context, std::memory_order_release); }

const std::string& LauncherContext::MessageText(int n) const {
    if (n < 0 || n >= static_cast<int>(m_MessageTable.size())) return kEmpty;
    return m_MessageTable[static_cast<size_t>(n)];
}

void LauncherContext::ShowNumberedMessage(int n) { Ui().ShowMessageText(MessageText(n)); }

}  // namespace nb
