#include "job/property_list.h"

#include <cstring>
#include <new>

namespace partwell {
namespace {

void CopyName(char (&to)[20], const char* name) {
  std::memset(to, 0, sizeof to);
  if (name) std::strncpy(to, name, sizeof to - 1);
}

}  // namespace

PropertyEntry* CreatePropertyList(void* value, PropertyRelease release, int32_t key,
                                  const char* name) {
  auto* node = new (std::nothrow) PropertyEntry;
  if (!node) return nullptr;
  node->key = key;
  CopyName(node->name, name);
  node->value = value;
  node->release = release;
  return node;
}

int AddProperty(PropertyList* list, void* value, PropertyRelease release, int32_t key,
                const char* name) {
  if (!list) return 0;
  PropertyEntry* last = list;
  for (PropertyEntry* e = list; e; e = e->next) {
    if (e->key == key) return 0;
    last = e;
  }
  PropertyEntry* node = CreatePropertyList(value, release, key, name);
  if (!node) return 0;
  node->prev = last;
  last->next = node;
  return 1;
}

void* FindProperty(const PropertyList* list, int32_t key) {
  for (const PropertyEntry* e = list; e; e = e->next) {
    if (e->key == key) return e->value;
  }
  return nullptr;
}

int RemoveProperty(PropertyList* list, int32_t key) {
  if (!list) return 0;
  for (PropertyEntry* e = list->next; e; e = e->next) {
    if (e->key != key) continue;
    e->prev->next = e->next;
    if (e->next) e->next->prev = e->prev;
    if (e->release) e->release(e, e->value, e->key, e->name);
    delete e;
    return 1;
  }
  return 0;
}

void DestroyPropertyList(PropertyList* list) {
  while (list) {
    PropertyEntry* next = list->next;
    if (list->release) list->release(list, list->value, list->key, list->name);
    delete list;
    list = next;
  }
}

namespace {

// The release routine of the value cells (one int64_t each): frees the cell.
void ReleasePropertyValue(PropertyEntry* entry, void* value, int32_t key, const char* name) {
  (void)key;
  (void)name;
  delete static_cast<int64_t*>(value);
  if (entry) entry->value = nullptr;
}

}  // namespace

int StoreIntegerProperty(PropertyList* list, int32_t key, const char* name, int64_t value) {
  if (FindProperty(list, key)) RemoveProperty(list, key);
  auto* cell = new (std::nothrow) int64_t(value);
  if (!cell) return 0;
  if (!AddProperty(list, cell, ReleasePropertyValue, key, name)) {
    delete cell;
    return 0;
  }
  return 1;
}

std::optional<int64_t> FindIntegerProperty(const PropertyList* list, int32_t key) {
  const void* cell = FindProperty(list, key);
  if (!cell) return std::nullopt;
  return *static_cast<const int64_t*>(cell);
}

}  // namespace partwell
