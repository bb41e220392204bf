// The module's three entry points, the only symbols it exports (C linkage).
#include <cstring>
#include <new>
#include <string>

#include "assim/services.h"
#include "host/brumel_node.h"

#define BRUMEL_EXPORT extern "C" __attribute__((visibility("default")))

using brumel::BrumelNode;
using brumel::kBrumelNodeName;
using brumel::kBrumelNodeUuid;

namespace {

// Null when the node's memory (or its widgets' or effect's) cannot be had.
BrumelNode* make_node() {
  try {
    return new BrumelNode;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

// The node name; copies the node-type UUID with its terminating zero (37 bytes) into
// `uuid_out`. Creates nothing.
BRUMEL_EXPORT const char* FXNode_info(char* uuid_out) {
  if (uuid_out != nullptr) std::memcpy(uuid_out, kBrumelNodeUuid, std::strlen(kBrumelNodeUuid) + 1);
  return kBrumelNodeName;
}

// A new node, registered with the host; null without memory.
BRUMEL_EXPORT FXNode* FXNode_create() {
  BrumelNode* node = make_node();
  if (node != nullptr) FXNode_register(node);
  return node;
}

// A node restored from saved settings, not registered; null without memory. Settings
// that cannot be restored leave the table's defaults and are reported as a warning.
BRUMEL_EXPORT FXNode* FXNode_load(RegV* saved) {
  BrumelNode* node = make_node();
  if (node != nullptr && saved != nullptr) {
    std::string error;
    if (!node->reg_load(*saved, &error))
      msgwarn(("Vexlings.Brumel: saved settings not restored: " + error).c_str());
  }
  return node;
}
