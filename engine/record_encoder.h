// What the engine's Update calls to rebuild the edit record before storing it.
#ifndef KDDAO_ENGINE_RECORD_ENCODER_H_
#define KDDAO_ENGINE_RECORD_ENCODER_H_

namespace kd {

class CPdbRecord;

class CRecordEncoder {
 public:
  virtual ~CRecordEncoder() = default;
  // Rewrites the bytes (and any attributes it owns) of `editRecord`. Raises
  // the errors of its encoding; the engine then stores nothing.
  virtual void EncodeRecord(CPdbRecord& editRecord) = 0;
};

}  // namespace kd

#endif  // KDDAO_ENGINE_RECORD_ENCODER_H_
