#include "image/load_host.h"

namespace brim {

namespace {
LoadHost* g_host = nullptr;
}

LoadHost* SetLoadHost(LoadHost* host) {
  LoadHost* previous = g_host;
  g_host = host;
  return previous;
}

LoadHost* CurrentLoadHost() { return g_host; }

}  // namespace brim
