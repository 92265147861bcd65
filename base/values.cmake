# Value scales: numbers and their units, enumerations, lists and the decorators.
list(APPEND TONVERA_BASE_SOURCES
  MValue.cpp
  MValueSupport.cpp
  MValueNumber.cpp
  MValueUnits.cpp
  MValueFrequency.cpp
  MValueStepDouble.cpp
  MValueMIDINote.cpp
  MEnumeration.cpp
  MEnumerations.cpp
  MValueEnum.cpp
  MValueList.cpp
  MValueStorage.cpp
)
