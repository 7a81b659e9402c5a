// The program's one shared store: a chain of keyed, named values that the main window
// owns and every page reaches through its window user data. It carries the page windows
// and the source probe's results.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace partwell {

struct PropertyEntry;

// Called when an entry is removed or the list destroyed: entry, value, key, name.
using PropertyRelease = void (*)(PropertyEntry* entry, void* value, int32_t key, const char* name);

struct PropertyEntry {
  int32_t key = 0;
  char name[20] = {};  // at most 19 characters and the terminator
  void* value = nullptr;
  PropertyEntry* next = nullptr;
  PropertyEntry* prev = nullptr;
  PropertyRelease release = nullptr;
};

// A list is handled through its head, the entry of key 0.
using PropertyList = PropertyEntry;

// Keys in use.
enum PropertyKey : int32_t {
  kBitRateKey = 1,          // "Bit Rate": kbit/s
  kBitRateBinaryKey = 2,    // "Bit Rate Binary": bit rate index 0 to 14
  kFirstFrameKey = 3,       // "First Frame": byte position of the first frame header
  kSplitWindowKey = 4,      // "Split Window"
  kMergeWindowKey = 5,      // "Merge Window"
  kHelpWindowKey = 6,       // "Help Window"
  kAboutWindowKey = 7,      // "About Window"
  kVariableBitRateKey = 8,  // "Variable Bit Rate": 1 for a source only exact cuts take
};

// One node holding the given values; null when memory is exhausted. A name longer than
// 19 characters is cut to 19.
PropertyEntry* CreatePropertyList(void* value, PropertyRelease release, int32_t key,
                                  const char* name);
// 1 when added after the last node; 0 when the list is null, the key is taken (key 0 is
// the head's) or memory is exhausted. Never replaces an entry.
int AddProperty(PropertyList* list, void* value, PropertyRelease release, int32_t key,
                const char* name);
// The value of the first entry with the key, or null.
void* FindProperty(const PropertyList* list, int32_t key);
// Unlinks, releases and frees the first entry after the head with the key: 1, else 0.
int RemoveProperty(PropertyList* list, int32_t key);
// Releases and frees every node, the head included.
void DestroyPropertyList(PropertyList* list);
// Replaces the entry of `key` by a new heap cell holding `value` (freed when the entry is
// released): 1 when stored, 0 when memory is exhausted.
int StoreIntegerProperty(PropertyList* list, int32_t key, const char* name, int64_t value);
// The value of a cell stored by StoreIntegerProperty, or nothing when the key is absent.
std::optional<int64_t> FindIntegerProperty(const PropertyList* list, int32_t key);

// Owns a list for a scope: the main function's list lives exactly as long as this.
struct PropertyListDeleter {
  void operator()(PropertyList* list) const { DestroyPropertyList(list); }
};
using PropertyListPtr = std::unique_ptr<PropertyList, PropertyListDeleter>;
inline PropertyListPtr MakePropertyList() {
  return PropertyListPtr(CreatePropertyList(nullptr, nullptr, 0, nullptr));
}

}  // namespace partwell
