#pragma once
// CObject: the root of the class library's classes. It gives its descendants a virtual
// destructor and, as in the class library, no copy construction or assignment.
class CObject {
 public:
  virtual ~CObject() = default;
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;

 protected:
  CObject() = default;
};
