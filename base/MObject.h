#pragma once
// Root of the library's class tree: a virtual destructor, nothing else.

class MObject
{
public:
  MObject() = default;
  MObject(const MObject&) = default;
  MObject& operator=(const MObject&) = default;
  virtual ~MObject() = default;
};
