#pragma once
// ParameterMainBase: a one-slot automation adapter with a name, a detail text and a group.
//
// Base of the typed parameters (ParameterBase for effect descriptors, ParameterBaseCustom for the
// framework's own descriptors). Its identifier part is join(join(idPart, detail), group), so the
// plug-in's GetParameterID reads join(join(idPrefix, that), name).

#include "core/parameters/MParameterInfo.h"
#include "core/plugin/MAudioPlugin.h"

class ParameterMainBase : public MAudioPlugin::AutomationAdapter
{
public:
  ParameterMainBase();
  ~ParameterMainBase() override;

  std::int32_t GetOrderKey() const override;
  MString GetName(std::int32_t slot) const override;
  MString GetIdPart(std::int32_t slot) const override;

  /// Copies order key, name and detail from the descriptor; the group is the caller's.
  void SetFromDescriptor(const MParameterInfo& info, const MString& group);

  std::int32_t m_orderKey = 0;
  MString m_name;
  MString m_detail;
  MString m_group;
};
