#include "embed/node_module.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <mutex>

#include "embed/error.h"
#include "embed/frame_player.h"

namespace brumel {

namespace {

std::string loader_message() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown loader error";
}

}  // namespace

NodeModule::NodeModule(const std::string& path) : path_(path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    throw Error("node module \"" + path + "\" does not exist (build it, or give --module PATH)");
  }
  // A name without a folder would send dlopen searching the library path.
  const std::string absolute = std::filesystem::absolute(path, error).string();
  dlerror();
  // Lazy binding: the module's drawing calls are resolved from the host process
  // only when the viewer overlay is drawn, and rendering never draws it.
  void* handle = dlopen(absolute.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (handle == nullptr) {
    throw Error("cannot load node module \"" + path + "\": " + loader_message());
  }
  handle_ = std::shared_ptr<void>(handle, [](void* h) { dlclose(h); });

  auto symbol = [&](const char* name) {
    dlerror();
    void* address = dlsym(handle, name);
    if (address == nullptr) {
      throw Error("node module \"" + path + "\" does not export " + name + ": " +
                     loader_message());
    }
    return address;
  };
  auto info = reinterpret_cast<FXNode_info_fn>(symbol("FXNode_info"));
  create_ = reinterpret_cast<FXNode_create_fn>(symbol("FXNode_create"));
  symbol("FXNode_load");  // a host needs all three; a module without one is broken

  char uuid[64] = {};
  const char* name = info(uuid);
  node_name_ = name != nullptr ? name : "";
  type_id_ = std::string(uuid, strnlen(uuid, sizeof uuid - 1));
}

std::string NodeModule::beside(const std::string& folder) {
  const std::filesystem::path here(folder);
  for (const std::filesystem::path& candidate :
       {here / "BrumelKv.node", here / ".." / "lib" / "brumel" / "BrumelKv.node",
        here / ".." / "brumel" / "BrumelKv.node", here / ".." / "BrumelKv.node"}) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate.lexically_normal().string();
  }
  return (here / "BrumelKv.node").string();
}

std::string NodeModule::default_path() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "BrumelKv.node";
  return beside(exe.parent_path().string());
}

NodePtr NodeModule::create() const {
  FXNode* node = nullptr;
  {
    // A new node fills its random tables through the program-wide shuffle state,
    // which a render on another thread may be using.
    const std::lock_guard<std::mutex> lock(render_mutex());
    node = create_();
  }
  if (node == nullptr) throw Error("node module \"" + path_ + "\" could not create a node");
  return NodePtr(node, NodeDeleter{handle_});
}

}  // namespace brumel
