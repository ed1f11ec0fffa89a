// model_structure.h
//
// The description of a model: names, authors, the Java class behind it, its controls and
// ports, the stage its workers run in, its tags and the option bits that tell the chain and
// the service which role it plays. Plain data with accessors; filled by one thread when the
// model is registered and only read afterwards (no locks).
//
// Ports: the description's ports live in one store shared by every copy of the structure, so
// copies point to the same port objects and the ports are freed with the last copy.
#pragma once

#include <boost/optional.hpp>

#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "zelph/chain/export.h"
#include "zelph/model/base_control.h"
#include "zelph/model/execution_stage.h"
#include "zelph/model/port.h"

namespace zelph {

// Single bits of a model's option mask; combine them with |.
enum OptionalFlag : std::uint32_t {
  kInputModel = 0x001,
  kOutputModel = 0x002,
  kRelativePathModel = 0x004,
  kDataModel = 0x008,
  kMainRole = 0x040,
  kSettingsRole = 0x080,
  kCopyModel = 0x100,
};

constexpr OptionalFlag operator|(OptionalFlag a, OptionalFlag b) {
  return static_cast<OptionalFlag>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}

class ZELPH_CHAIN_API BaseModelStructure {
 public:
  BaseModelStructure();
  BaseModelStructure(const BaseModelStructure&) = default;
  BaseModelStructure(BaseModelStructure&&) = default;
  BaseModelStructure& operator=(const BaseModelStructure&) = default;
  BaseModelStructure& operator=(BaseModelStructure&&) = default;
  virtual ~BaseModelStructure() = default;

  // The JSON text the description was read from, kept unchanged.
  void SetJsonStructure(const std::string& text) { json_structure_ = text; }
  std::string GetStructureAsJson() const { return json_structure_; }

  std::string GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  void SetName(std::string&& name) { name_ = name; }
  std::string GetCaption() const { return caption_; }
  void SetCaption(const std::string& caption) { caption_ = caption; }
  void SetCaption(std::string&& caption) { caption_ = caption; }
  std::string GetAuthors() const { return authors_; }
  void SetAuthors(const std::string& authors) { authors_ = authors; }
  std::string GetVersion() const { return version_; }
  void SetVersion(const std::string& version) { version_ = version; }
  std::string GetDescription() const { return description_; }
  void SetDescription(const std::string& description) { description_ = description; }
  void SetDescription(std::string&& description) { description_ = description; }
  std::string GetCategory() const { return category_; }
  void SetCategory(const std::string& category) { category_ = category; }
  std::string GetLanguage() const { return language_; }
  void SetLanguage(const std::string& language) { language_ = language; }
  // Stored in lower case.
  std::string GetUuid() const { return uuid_; }
  void SetUuid(const std::string& uuid);
  std::string GetJavaClass() const { return java_class_; }
  void SetJavaClass(const std::string& name) { java_class_ = name; }
  std::string GetJavaNewInstanceMethod() const { return java_new_instance_method_; }
  void SetJavaNewInstanceMethod(const std::string& name) { java_new_instance_method_ = name; }
  std::string GetJavaNewInstanceMethodSignature() const { return java_new_instance_signature_; }
  void SetJavaNewInstanceMethodSignature(const std::string& signature) {
    java_new_instance_signature_ = signature;
  }
  std::string GetUrl() const { return url_; }
  void SetUrl(const std::string& url) { url_ = url; }
  std::string GetHelpFile() const { return help_file_; }
  void SetHelpFile(const std::string& file) { help_file_ = file; }

  std::vector<BaseControl> GetControls() const { return controls_; }
  bool HasControls() const { return !controls_.empty(); }
  void AddControl(const BaseControl& control) { controls_.push_back(control); }
  void AddControl(BaseControl&& control) { controls_.push_back(std::move(control)); }
  // A copy of the first control named exactly `name`.
  boost::optional<BaseControl> FindControl(const std::string& name) const;

  // Sets (on) or clears the bits; answers whether any of them was set before.
  bool SetOptionalFlag(OptionalFlag bits, bool on);
  // Whether any of the bits is set.
  bool GetOptionalFlag(OptionalFlag bits) const { return (optional_flags_ & bits) != 0; }
  std::uint32_t GetOptionalFlags() const { return optional_flags_; }

  ExecutionStage GetExecutionStage() const { return execution_stage_; }
  void SetExecutionStage(ExecutionStage stage) { execution_stage_ = stage; }

  void AddTag(const std::string& tag) { tags_.insert(tag); }
  std::set<std::string> GetTags() const { return tags_; }
  bool IsTagsEmpty() const { return tags_.empty(); }

  const std::vector<Port*>& GetPorts() const { return ports_.GetPorts(); }
  // Takes ownership of the port: it lives as long as any copy of this structure.
  void AddPort(Port* port);
  // Appends a copy of every port of the list, in order; existing ports stay.
  void SetPorts(std::list<Port>&& ports);
  Port* FindPortByName(PortType type, const std::string& name, bool with_aliases) const;

  std::string GetOwnerName() const { return owner_name_; }
  void SetOwnerName(const std::string& name) { owner_name_ = name; }
  std::string GetOwnerId() const { return owner_id_; }
  void SetOwnerId(const std::string& id) { owner_id_ = id; }
  std::string GetOwnerContextId() const { return owner_context_id_; }
  void SetOwnerContextId(const std::string& id) { owner_context_id_ = id; }
  std::string GetRoleClassName() const { return role_class_name_; }
  void SetRoleClassName(const std::string& name) { role_class_name_ = name; }
  std::string GetGroupSelector() const { return group_selector_; }
  void SetGroupSelector(const std::string& selector) { group_selector_ = selector; }
  bool IsNativeExtension() const { return native_extension_; }
  void SetNativeExtension(bool native) { native_extension_ = native; }

  // Takes the parent's tags that this structure lacks; nothing else.
  void ApplyParent(const BaseModelStructure& parent);
  // "{category}.{name} uuid: {uuid} [{control count}] role: {role class name}"
  std::string ToString() const;

 private:
  using PortStore = std::vector<std::unique_ptr<Port>>;

  std::string json_structure_;
  std::string name_;
  std::string caption_;
  std::string authors_;
  std::string version_;
  std::string description_;
  std::string category_;
  std::string language_;
  std::string uuid_;
  std::string java_class_;
  std::string java_new_instance_method_;
  std::string java_new_instance_signature_;
  std::string url_;
  std::string help_file_;
  std::vector<BaseControl> controls_;
  std::uint32_t optional_flags_ = 0;
  ExecutionStage execution_stage_ = ExecutionStage::kRunTime;
  std::set<std::string> tags_;
  PortHolder ports_;
  // Owns the ports that ports_ lists; shared by every copy.
  std::shared_ptr<PortStore> port_store_;
  std::string owner_name_;
  std::string owner_id_;
  std::string owner_context_id_;
  std::string role_class_name_;
  std::string group_selector_;
  bool native_extension_ = false;
};

}  // namespace zelph

// An interface nothing in the system derives from; kept for plug-ins that expect it.
class ZELPH_CHAIN_API ICopyable {
 public:
  ICopyable() = default;
  ICopyable(const ICopyable&) = default;
  ICopyable(ICopyable&&) = default;
  ICopyable& operator=(const ICopyable&) = default;
  ICopyable& operator=(ICopyable&&) = default;
  virtual ~ICopyable() = default;
  virtual ICopyable* Clone() const = 0;
};
