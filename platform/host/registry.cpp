/*
 * The registry: keys under the four predefined roots, values with their
 * type and exact bytes, open handles with the access they were opened for,
 * and the access rules a test lays on keys below HKEY_LOCAL_MACHINE.
 */
#include <cstring>
#include <optional>

#include "state.h"

namespace host::detail {

RegKey *RegKey::Find(std::string_view name)
{
    const auto found = subkeys.find(std::string(name));
    return found == subkeys.end() ? nullptr : found->second.get();
}

RegValue *RegKey::FindValue(std::string_view name)
{
    for (RegValue &value : values)
        if (SameName(value.name, name))
            return &value;
    return nullptr;
}

} // namespace host::detail

using namespace host::detail;
using host::Deny;
using host::RegValue;

namespace {

const char *const kRootNames[kRootCount] = {"HKCR", "HKCU", "HKLM", "HKU"};

std::optional<RootIndex> PredefinedRoot(HKEY key)
{
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    const auto first = reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT);
    if (value >= first && value < first + kRootCount)
        return static_cast<RootIndex>(value - first);
    return std::nullopt;
}

/* Key names between backslashes; empty ones (doubled or trailing
 * backslashes) name nothing. */
std::vector<std::string> KeyPath(std::string_view text)
{
    std::vector<std::string> path;
    for (std::string &name : SplitName(text, "\\"))
        if (!name.empty())
            path.push_back(std::move(name));
    return path;
}

bool IsBelowOrAt(const std::vector<std::string> &path,
                 const std::vector<std::string> &top)
{
    if (top.size() > path.size())
        return false;
    for (size_t i = 0; i < top.size(); ++i)
        if (!SameName(path[i], top[i]))
            return false;
    return true;
}

/* The strictest rule laid on the key or on a key above it. */
std::optional<Deny> DenyOver(RootIndex root, const std::vector<std::string> &path)
{
    if (root != kLocalMachine)
        return std::nullopt;
    std::optional<Deny> strictest;
    for (const DenyRule &rule : Machine().denyRules)
        if (IsBelowOrAt(path, rule.path) && (!strictest || rule.deny == Deny::All))
            strictest = rule.deny;
    return strictest;
}

bool MayOpen(RootIndex root, const std::vector<std::string> &path, REGSAM access)
{
    const std::optional<Deny> deny = DenyOver(root, path);
    if (!deny)
        return true;
    return *deny == Deny::Write && (access & ~static_cast<REGSAM>(KEY_READ)) == 0;
}

struct KeyInUse {
    RegKey *key;
    REGSAM access;
};

/* An open handle, or a predefined root used as one. */
std::optional<KeyInUse> Resolve(HKEY key)
{
    if (const std::optional<RootIndex> root = PredefinedRoot(key)) {
        REGSAM access = KEY_ALL_ACCESS;
        if (const std::optional<Deny> deny = DenyOver(*root, {}))
            access = *deny == Deny::Write ? KEY_READ : 0;
        return KeyInUse{&Machine().roots[*root], access};
    }
    const auto &open = Machine().openKeys;
    const auto found = open.find(key);
    if (found == open.end())
        return std::nullopt;
    return KeyInUse{found->second->key, found->second->access};
}

std::string ValueName(const char *name)
{
    return name ? std::string(name) : std::string();
}

void StoreValue(RegKey &key, const std::string &name, DWORD type, std::string bytes)
{
    /* An existing value keeps the name it was created with. */
    if (RegValue *existing = key.FindValue(name)) {
        existing->type = type;
        existing->data = std::move(bytes);
    } else {
        key.values.push_back(RegValue{name, type, std::move(bytes)});
    }
}

RegKey *FindKey(const std::string &keyPath)
{
    RegKey *key = &Machine().roots[kLocalMachine];
    for (const std::string &name : KeyPath(keyPath))
        if (!(key = key->Find(name)))
            return nullptr;
    return key;
}

} // namespace

LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access,
                     LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition)
{
    State &machine = Machine();
    const std::optional<RootIndex> predefined = PredefinedRoot(root);
    const auto parent = machine.openKeys.find(root);
    const bool knownParent = !predefined && parent != machine.openKeys.end();

    std::string shownPath = Hex(reinterpret_cast<ULONG_PTR>(root));
    if (predefined)
        shownPath = kRootNames[*predefined];
    else if (knownParent)
        shownPath = parent->second->shownPath;
    shownPath += "\\" + Printable(subKey);
    Journal("RegCreateKeyExA(" + shownPath + ", " + Hex(access) + ")");

    if (ShouldFail("RegCreateKeyExA"))
        return ERROR_ACCESS_DENIED;
    if (!predefined && !knownParent)
        return ERROR_INVALID_HANDLE;
    if (!subKey || !result)
        return ERROR_INVALID_PARAMETER;

    const RootIndex rootIndex = predefined ? *predefined : parent->second->root;
    RegKey *key = predefined ? &machine.roots[*predefined] : parent->second->key;
    std::vector<std::string> path = predefined ? std::vector<std::string>()
                                               : parent->second->path;

    /* Check everything before creating anything: a failed call leaves the
     * registry as it was. */
    std::vector<std::string> missing;
    for (const std::string &name : KeyPath(subKey)) {
        if (missing.empty() && key->Find(name)) {
            key = key->Find(name);
        } else {
            if (DenyOver(rootIndex, path))
                return ERROR_ACCESS_DENIED;
            missing.push_back(name);
        }
        path.push_back(name);
    }
    if (!MayOpen(rootIndex, path, access))
        return ERROR_ACCESS_DENIED;

    for (const std::string &name : missing) {
        auto &slot = key->subkeys[name];
        slot = std::make_unique<RegKey>();
        key = slot.get();
    }
    if (!missing.empty())
        Effect();

    auto handle = std::make_unique<HKEY__>(HKEY__{key, rootIndex, path, shownPath, access});
    *result = handle.get();
    machine.openKeys[handle.get()] = std::move(handle);
    if (disposition)
        *disposition = missing.empty() ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type,
                      LPBYTE data, LPDWORD count)
{
    Journal("RegQueryValueExA(" + Printable(name) + ")");
    if (ShouldFail("RegQueryValueExA"))
        return ERROR_ACCESS_DENIED;
    const std::optional<KeyInUse> open = Resolve(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (reserved || (data && !count))
        return ERROR_INVALID_PARAMETER;
    if (!(open->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    const RegValue *value = open->key->FindValue(ValueName(name));
    if (!value)
        return ERROR_FILE_NOT_FOUND;

    const auto size = static_cast<DWORD>(value->data.size());
    if (type)
        *type = value->type;
    if (data && size > *count) {
        *count = size;
        return ERROR_MORE_DATA;
    }
    if (data)
        std::memcpy(data, value->data.data(), size);
    if (count)
        *count = size;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE *data,
                    DWORD count)
{
    Journal("RegSetValueExA(" + Printable(name) + ", " + std::to_string(type) + ", " +
            std::to_string(count) + ")");
    if (ShouldFail("RegSetValueExA"))
        return ERROR_ACCESS_DENIED;
    const std::optional<KeyInUse> open = Resolve(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    if (!data && count)
        return ERROR_INVALID_PARAMETER;
    const char *bytes = reinterpret_cast<const char *>(data);
    StoreValue(*open->key, ValueName(name), type,
               count ? std::string(bytes, count) : std::string());
    Effect();
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, LPCSTR name)
{
    Journal("RegDeleteValueA(" + Printable(name) + ")");
    if (ShouldFail("RegDeleteValueA"))
        return ERROR_ACCESS_DENIED;
    const std::optional<KeyInUse> open = Resolve(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    auto &values = open->key->values;
    for (auto value = values.begin(); value != values.end(); ++value) {
        if (SameName(value->name, ValueName(name))) {
            values.erase(value);
            Effect();
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG RegCloseKey(HKEY key)
{
    Journal("RegCloseKey()");
    if (ShouldFail("RegCloseKey"))
        return ERROR_INVALID_HANDLE;
    if (PredefinedRoot(key))
        return ERROR_SUCCESS;
    return Machine().openKeys.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

namespace host {

void PutRegValue(const std::string &keyPath, const std::string &name, DWORD type,
                 const std::string &data)
{
    RegKey *key = &Machine().roots[kLocalMachine];
    for (const std::string &keyName : KeyPath(keyPath)) {
        auto &slot = key->subkeys[keyName];
        if (!slot)
            slot = std::make_unique<RegKey>();
        key = slot.get();
    }
    StoreValue(*key, name, type, data);
}

void PutRegString(const std::string &keyPath, const std::string &name,
                  const std::string &text)
{
    PutRegValue(keyPath, name, REG_SZ, text + std::string(1, '\0'));
}

bool GetRegValue(const std::string &keyPath, const std::string &name, RegValue *value)
{
    RegKey *key = FindKey(keyPath);
    const RegValue *found = key ? key->FindValue(name) : nullptr;
    if (found && value)
        *value = *found;
    return found != nullptr;
}

std::vector<RegValue> RegValues(const std::string &keyPath)
{
    RegKey *key = FindKey(keyPath);
    return key ? key->values : std::vector<RegValue>();
}

bool RegKeyExists(const std::string &keyPath)
{
    return FindKey(keyPath) != nullptr;
}

void DenyRegAccess(const std::string &keyPath, Deny deny)
{
    Machine().denyRules.push_back(DenyRule{KeyPath(keyPath), deny});
}

} // namespace host
