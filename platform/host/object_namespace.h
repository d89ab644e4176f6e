// The object manager's names as the host kernels keep them: devices and
// symbolic links by name, compared without regard to case as the kernel
// does, a link resolving to the device it names. Used by the host I/O
// manager (host build) and by the loader's kernel (the shipped image).
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace host {

template <typename Device>
class ObjectNamespace {
 public:
  struct Entry {
    Device* device = nullptr;  // a device
    std::u16string target;     // a symbolic link: the name it points at
  };

  // False when the name is taken.
  bool AddDevice(const std::u16string& name, Device* device) { return Insert(name, {device, {}}); }
  bool AddLink(const std::u16string& link, const std::u16string& target) {
    return Insert(link, {nullptr, target});
  }
  bool Remove(const std::u16string& name) { return entries_.erase(Key(name)) != 0; }

  const Entry* Find(const std::u16string& name) const {
    auto it = entries_.find(Key(name));
    return it == entries_.end() ? nullptr : &it->second.second;
  }
  bool IsDevice(const std::u16string& name) const {
    const Entry* entry = Find(name);
    return entry != nullptr && entry->device != nullptr;
  }
  bool IsLink(const std::u16string& name) const {
    const Entry* entry = Find(name);
    return entry != nullptr && entry->device == nullptr;
  }
  // Follows links to a device; null when nothing is there.
  Device* Resolve(const std::u16string& name) const {
    std::u16string at = name;
    for (int hops = 0; hops < 8; ++hops) {
      const Entry* entry = Find(at);
      if (entry == nullptr) return nullptr;
      if (entry->device != nullptr) return entry->device;
      at = entry->target;
    }
    return nullptr;
  }
  // The device an open of `name` reaches: the name itself, or the longest
  // leading part of it that resolves: a name below a device, such as
  // \Device\dimmio0\x or \??\dimmio\x, opens a file on that device.
  // `below` gets the rest of the name (\x), which the create request carries.
  Device* ResolveOpen(const std::u16string& name, std::u16string* below = nullptr) const {
    std::u16string at = name;
    while (!at.empty()) {
      if (Device* device = Resolve(at)) {
        if (below != nullptr) *below = name.substr(at.size());
        return device;
      }
      const size_t slash = at.rfind(u'\\');
      if (slash == std::u16string::npos || slash == 0) return nullptr;
      at.resize(slash);
    }
    return nullptr;
  }
  size_t Count(bool devices) const {
    size_t n = 0;
    for (const auto& [key, named] : entries_) n += (named.second.device != nullptr) == devices;
    return n;
  }
  std::vector<std::u16string> Links() const {
    std::vector<std::u16string> names;
    for (const auto& [key, named] : entries_) {
      if (named.second.device == nullptr) names.push_back(named.first);
    }
    return names;
  }

 private:
  bool Insert(const std::u16string& name, Entry entry) {
    return entries_.emplace(Key(name), std::make_pair(name, std::move(entry))).second;
  }
  static std::u16string Key(const std::u16string& name) {
    std::u16string key = name;
    for (char16_t& c : key) {
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return key;
  }

  std::map<std::u16string, std::pair<std::u16string, Entry>> entries_;  // key: folded name
};

}  // namespace host
