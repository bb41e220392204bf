#pragma once
// The node module (BrumelKv.node) loaded as a host loads it: dlopen, the three
// C entry points, and nodes made through them.
#include <memory>
#include <string>

#include "assim/fx_node.h"

namespace brumel {

// Destroys a node through its virtual destructor and keeps the module loaded
// until the last node it made is gone (the node's code lives in the module).
struct NodeDeleter {
  std::shared_ptr<void> module_keepalive;
  void operator()(FXNode* node) const { delete node; }
};
using NodePtr = std::unique_ptr<FXNode, NodeDeleter>;

class NodeModule {
 public:
  // Loads the module and looks up FXNode_info, FXNode_create and FXNode_load.
  // Throws Error naming the path and the loader's message.
  explicit NodeModule(const std::string& path);

  // BrumelKv.node for a program or plugin in `folder`: in that folder (the build
  // puts the programs beside it), else in ../lib/brumel or ../brumel from it (an
  // install: bin/ and lib/frei0r-1/ beside lib/brumel/), else in .. (the build's
  // frei0r-1/). The first path when none exists.
  static std::string beside(const std::string& folder);
  // The module beside the running executable.
  static std::string default_path();

  const std::string& path() const { return path_; }
  // What FXNode_info reports: the node name and its type id (uuid).
  const std::string& node_name() const { return node_name_; }
  const std::string& type_id() const { return type_id_; }

  // A new node from FXNode_create. Throws Error when the module returns none.
  NodePtr create() const;

 private:
  std::string path_;
  std::shared_ptr<void> handle_;  // dlclose when the module and its nodes are gone
  FXNode_create_fn create_ = nullptr;
  std::string node_name_;
  std::string type_id_;
};

}  // namespace brumel
