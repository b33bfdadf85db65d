#include "replay/change/change_layer.h"

#include "replay/change/real_changes.h"

namespace replay {
namespace {

change_layer* g_layer = nullptr;

}  // namespace

change_layer& changes() {
  return g_layer ? *g_layer : real_layer();
}

void set_changes(change_layer* layer) {
  g_layer = layer;
}

const char* would(const char* done, const char* planned) {
  return changes().planning() ? planned : done;
}

const wchar_t* would(const wchar_t* done, const wchar_t* planned) {
  return changes().planning() ? planned : done;
}

}  // namespace replay
