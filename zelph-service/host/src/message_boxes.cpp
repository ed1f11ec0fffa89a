// message_boxes.cpp
#include "zelph/host/message_boxes.h"

#include "zelph/config/zelph_config.h"
#include "zelph/logger/log.h"
#include "zelph/platform/message_box.h"

namespace zelph::host {
namespace {

void ShowIfConfigured(const char* caption, const std::string& text) {
  if (!ZelphConfig::GetInstance()->IsShowMessageBoxOnExit()) return;
  ZELPH_LOG(ZelphSeverityLevel::kError, "{}: {}", caption, text);
  sys::ShowMessageBox(caption, text);
}

}  // namespace

void ShowErrorMessageBox(const std::string& text) { ShowIfConfigured(kErrorCaption, text); }

void ShowStartErrorMessageBox(const std::string& text) {
  ShowIfConfigured(kStartErrorCaption, text);
}

}  // namespace zelph::host
