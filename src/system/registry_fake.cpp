// The in-memory registry of the host build (see registry_fake.h).
#include "system/registry_fake.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

#include "common/text.h"

namespace sys {
namespace {

using fake_registry::Value;
using fake_registry::View;

constexpr long kKeyDeleted = 1018;  // ERROR_KEY_DELETED
constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kDelete = 0x00010000;
constexpr std::uint32_t kWriteDac = 0x00040000;
constexpr std::uint32_t kWriteOwner = 0x00080000;
constexpr std::uint32_t kAnyWrite = reg::kKeySetValue | kKeyCreateSubKey | kDelete | kWriteDac | kWriteOwner;

struct Node {
  std::wstring name;                                         // as created
  std::map<std::wstring, std::shared_ptr<Node>> children;    // by upper-cased name
  std::map<std::wstring, std::pair<std::wstring, Value>> values;  // by upper-cased name: (name as set, value)
  bool deleted = false;
};

using Path = std::vector<std::wstring>;  // upper-cased components

struct Denial {
  RegRoot root;
  Path below;
  long error;
};

struct Registry {
  std::shared_ptr<Node> currentUser = std::make_shared<Node>();
  std::shared_ptr<Node> machine32 = std::make_shared<Node>();
  std::shared_ptr<Node> machine64 = std::make_shared<Node>();
  std::shared_ptr<Node> classes32 = std::make_shared<Node>();
  std::shared_ptr<Node> classes64 = std::make_shared<Node>();
  std::vector<Denial> denials;

  const std::shared_ptr<Node>& Root(RegRoot root, View view) const {
    switch (root) {
      case RegRoot::ClassesRoot: return view == View::Bits64 ? classes64 : classes32;
      case RegRoot::LocalMachine: return view == View::Bits64 ? machine64 : machine32;
      case RegRoot::CurrentUser: break;
    }
    return currentUser;
  }
};

Registry& State() {
  static Registry registry;
  return registry;
}

std::wstring Upper(std::wstring_view s) { return common::UpperCase(s); }

// Components of a key path; empty components (doubled or outer backslashes) are skipped.
std::vector<std::wstring> SplitPath(std::wstring_view path) {
  std::vector<std::wstring> parts;
  std::size_t from = 0;
  while (from <= path.size()) {
    const std::size_t at = std::min(path.find(L'\\', from), path.size());
    if (at > from) parts.emplace_back(path.substr(from, at - from));
    from = at + 1;
  }
  return parts;
}

View ViewOf(std::uint32_t access, View otherwise) {
  if (access & reg::kWow64_64Key) return View::Bits64;
  if (access & reg::kWow64_32Key) return View::Bits32;
  return otherwise;
}

long DeniedError(RegRoot root, const Path& path) {
  for (const Denial& d : State().denials) {
    if (d.root == root && path.size() >= d.below.size() && std::equal(d.below.begin(), d.below.end(), path.begin())) {
      return d.error;
    }
  }
  return reg::kSuccess;
}

// The node at the given components below start; null when one is missing (or created when asked).
std::shared_ptr<Node> Walk(std::shared_ptr<Node> node, const std::vector<std::wstring>& parts, bool create) {
  for (const std::wstring& part : parts) {
    auto it = node->children.find(Upper(part));
    if (it == node->children.end()) {
      if (!create) return nullptr;
      auto child = std::make_shared<Node>();
      child->name = part;
      it = node->children.emplace(Upper(part), std::move(child)).first;
    }
    node = it->second;
  }
  return node;
}

std::shared_ptr<Node> Find(RegRoot root, std::wstring_view path, View view) {
  return Walk(State().Root(root, view), SplitPath(path), false);
}

// Sets a value; an existing one keeps the spelling of its name.
void Store(Node& node, std::wstring_view name, Value value) {
  auto [it, added] = node.values.try_emplace(Upper(name), std::wstring(name), Value{});
  it->second.second = std::move(value);
}

void MarkDeleted(Node& node) {
  node.deleted = true;
  for (auto& [name, child] : node.children) MarkDeleted(*child);
}

// What an open key holds.
struct OpenKey {
  std::shared_ptr<Node> node;
  RegRoot root;
  Path path;
  View view;
  std::uint32_t access;
};

}  // namespace

struct RegKey::Impl : OpenKey {};

RegKey::RegKey() = default;
RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&&) noexcept = default;

namespace {

// Opens (or creates) subKey below the key base (root\basePath) in view, for access, into out (a
// RegKey's implementation pointer, closed first; base must not belong to it).
template <class ImplPtr>
long OpenIn(RegRoot root, const Path& basePath, const std::shared_ptr<Node>& base, std::wstring_view subKey,
            std::uint32_t access, View view, bool create, ImplPtr& out) {
  out.reset();
  const std::vector<std::wstring> parts = SplitPath(subKey);
  Path path = basePath;
  for (const std::wstring& part : parts) path.push_back(Upper(part));
  if (create || (access & kAnyWrite)) {
    if (const long error = DeniedError(root, path)) return error;
  }
  if (base->deleted) return kKeyDeleted;
  std::shared_ptr<Node> node = Walk(base, parts, create);
  if (!node) return reg::kFileNotFound;
  out = std::make_unique<typename ImplPtr::element_type>();
  static_cast<OpenKey&>(*out) = OpenKey{std::move(node), root, std::move(path), view, access};
  return reg::kSuccess;
}

long Usable(const OpenKey* impl, std::uint32_t needed) {
  if (!impl) return reg::kInvalidHandle;
  if (impl->node->deleted) return kKeyDeleted;
  if ((impl->access & needed) != needed) return reg::kAccessDenied;
  return reg::kSuccess;
}

}  // namespace

long RegKey::Create(RegRoot root, std::wstring_view subKey, std::uint32_t access, RegKey& key) {
  key.impl_.reset();
  if (!reg::NamesOneView(access)) return reg::kInvalidParameter;
  const View view = ViewOf(access, View::Bits32);
  return OpenIn(root, {}, State().Root(root, view), subKey, access, view, true, key.impl_);
}

long RegKey::Open(RegRoot root, std::wstring_view subKey, std::uint32_t access, RegKey& key) {
  key.impl_.reset();
  if (!reg::NamesOneView(access)) return reg::kInvalidParameter;
  const View view = ViewOf(access, View::Bits32);
  return OpenIn(root, {}, State().Root(root, view), subKey, access, view, false, key.impl_);
}

long RegKey::Open(const RegKey& parent, std::wstring_view subKey, std::uint32_t access, RegKey& key) {
  if (!parent.impl_) return reg::kInvalidHandle;
  const OpenKey p = *parent.impl_;  // a copy: key may be parent
  return OpenIn(p.root, p.path, p.node, subKey, access, ViewOf(access, p.view), false, key.impl_);
}

bool RegKey::IsOpen() const { return impl_ != nullptr; }

void RegKey::Close() { impl_.reset(); }

long RegKey::SetValue(std::wstring_view name, std::uint32_t type, const std::vector<std::uint8_t>& data) const {
  if (const long rc = Usable(impl_.get(), reg::kKeySetValue)) return rc;
  Store(*impl_->node, name, Value{type, data});
  return reg::kSuccess;
}

long RegKey::QueryValue(std::wstring_view name, std::uint32_t& type, std::vector<std::uint8_t>& data) const {
  data.clear();
  if (const long rc = Usable(impl_.get(), reg::kKeyQueryValue)) return rc;
  const auto it = impl_->node->values.find(Upper(name));
  if (it == impl_->node->values.end()) return reg::kFileNotFound;
  type = it->second.second.type;
  data = it->second.second.data;
  return reg::kSuccess;
}

long RegKey::DeleteValue(std::wstring_view name) const {
  if (const long rc = Usable(impl_.get(), reg::kKeySetValue)) return rc;
  return impl_->node->values.erase(Upper(name)) ? reg::kSuccess : reg::kFileNotFound;
}

long RegKey::DeleteSubKey(std::wstring_view name) const {
  if (const long rc = Usable(impl_.get(), 0)) return rc;
  Path path = impl_->path;
  path.push_back(Upper(name));
  if (const long error = DeniedError(impl_->root, path)) return error;
  const auto it = impl_->node->children.find(Upper(name));
  if (it == impl_->node->children.end()) return reg::kFileNotFound;
  if (!it->second->children.empty()) return reg::kAccessDenied;  // as RegDeleteKeyExW on a key with subkeys
  MarkDeleted(*it->second);
  impl_->node->children.erase(it);
  return reg::kSuccess;
}

long RegKey::EnumSubKey(std::uint32_t index, std::wstring& name) const {
  name.clear();
  if (const long rc = Usable(impl_.get(), kKeyEnumerateSubKeys)) return rc;
  const auto& children = impl_->node->children;
  if (index >= children.size()) return reg::kNoMoreItems;
  name = std::next(children.begin(), index)->second->name;
  return reg::kSuccess;
}

long RegKey::SubKeyCount(std::uint32_t& count) const {
  count = 0;
  if (const long rc = Usable(impl_.get(), reg::kKeyQueryValue)) return rc;
  count = static_cast<std::uint32_t>(impl_->node->children.size());
  return reg::kSuccess;
}

namespace fake_registry {

void Reset() {
  Registry& state = State();
  for (View view : {View::Bits32, View::Bits64}) {
    for (RegRoot root : {RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::LocalMachine}) {
      MarkDeleted(*state.Root(root, view));
    }
  }
  state = Registry();
}

bool KeyExists(RegRoot root, std::wstring_view path, View view) { return Find(root, path, view) != nullptr; }

std::optional<Value> GetValue(RegRoot root, std::wstring_view path, std::wstring_view name, View view) {
  const auto node = Find(root, path, view);
  if (!node) return std::nullopt;
  const auto it = node->values.find(Upper(name));
  if (it == node->values.end()) return std::nullopt;
  return it->second.second;
}

std::vector<std::wstring> ValueNames(RegRoot root, std::wstring_view path, View view) {
  std::vector<std::wstring> names;
  if (const auto node = Find(root, path, view)) {
    for (const auto& [upper, entry] : node->values) names.push_back(entry.first);
  }
  return names;
}

std::vector<std::wstring> SubKeyNames(RegRoot root, std::wstring_view path, View view) {
  std::vector<std::wstring> names;
  if (const auto node = Find(root, path, view)) {
    for (const auto& [upper, child] : node->children) names.push_back(child->name);
  }
  return names;
}

void PutValue(RegRoot root, std::wstring_view path, std::wstring_view name, const Value& value, View view) {
  Store(*Walk(State().Root(root, view), SplitPath(path), true), name, value);
}

void DenyWritesBelow(RegRoot root, std::wstring_view path, long error) {
  Path below;
  for (const std::wstring& part : SplitPath(path)) below.push_back(Upper(part));
  State().denials.push_back({root, std::move(below), error});
}

}  // namespace fake_registry
}  // namespace sys
