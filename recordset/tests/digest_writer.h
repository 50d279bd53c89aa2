// Writes table digests for tests: the decoder's input for any decoded text.
#ifndef KDDAO_RECORDSET_TESTS_DIGEST_WRITER_H_
#define KDDAO_RECORDSET_TESTS_DIGEST_WRITER_H_

#include <string>

namespace kd::testing {

// A digest whose decoded text is `text` (which must end with "=="), with a
// balanced code tree over the distinct characters of `text`.
std::string WriteDigest(const std::string& text);
// A digest whose code tree is a single leaf.
std::string WriteDigestWithLeafRoot(char symbol);
// A digest whose code tree has `nodes` nodes (odd), decoding to "==".
std::string WriteDigestWithTreeNodes(int nodes);

}  // namespace kd::testing

#endif  // KDDAO_RECORDSET_TESTS_DIGEST_WRITER_H_
