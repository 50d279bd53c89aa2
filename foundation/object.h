// Common root of the foundation's classes.
#ifndef KDDAO_FOUNDATION_OBJECT_H_
#define KDDAO_FOUNDATION_OBJECT_H_

namespace kd {

// Carries no behaviour; gives every foundation class a virtual destructor.
class CObject {
 public:
  CObject() = default;
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
  virtual ~CObject() = default;
};

}  // namespace kd

#endif  // KDDAO_FOUNDATION_OBJECT_H_
