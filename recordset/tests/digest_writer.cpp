#include "recordset/tests/digest_writer.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kd::testing {

namespace {

const std::string kAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789_=ABCDEFGHIJKLMNOPQRSTUVWXYZ";

void PutBits(std::string& bits, int value, int count) {
  for (int i = count - 1; i >= 0; --i)
    bits.push_back(((value >> i) & 1) ? '1' : '0');
}

// Preorder tree bits over symbols[first, last), recording each symbol's code.
void WriteTree(const std::vector<char>& symbols, std::size_t first, std::size_t last,
               const std::string& code, std::string& bits, std::map<char, std::string>& codes) {
  if (last - first == 1) {
    bits.push_back('1');
    PutBits(bits, static_cast<int>(kAlphabet.find(symbols[first])), 6);
    codes[symbols[first]] = code;
    return;
  }
  bits.push_back('0');
  std::size_t middle = first + (last - first) / 2;
  WriteTree(symbols, first, middle, code + "0", bits, codes);
  WriteTree(symbols, middle, last, code + "1", bits, codes);
}

std::string Characters(std::string bits) {
  while (bits.size() % 6 != 0)
    bits.push_back('0');
  std::string digest;
  for (std::size_t i = 0; i < bits.size(); i += 6) {
    digest.push_back(kAlphabet[std::stoi(bits.substr(i, 6), nullptr, 2)]);
  }
  return digest;
}

}  // namespace

std::string WriteDigest(const std::string& text) {
  std::set<char> distinct(text.begin(), text.end());
  std::vector<char> symbols(distinct.begin(), distinct.end());
  if (symbols.size() == 1) symbols.push_back(symbols[0] == 'a' ? 'b' : 'a');  // a two-leaf tree
  std::string bits;
  std::map<char, std::string> codes;
  WriteTree(symbols, 0, symbols.size(), "", bits, codes);
  for (char c : text)
    bits += codes[c];
  return Characters(bits);
}

std::string WriteDigestWithLeafRoot(char symbol) {
  std::string bits = "1";
  PutBits(bits, static_cast<int>(kAlphabet.find(symbol)), 6);
  return Characters(bits + "000000");
}

std::string WriteDigestWithTreeNodes(int nodes) {
  // A left-leaning chain: inner nodes whose second child is a leaf, ending in
  // two leaves; leaf "=" is reached by the code "1".
  int inner = (nodes - 1) / 2;
  std::string bits;
  for (int i = 0; i < inner; ++i)
    bits.push_back('0');
  // Deepest pair first, then the second child of each inner node going up.
  for (int i = 0; i < inner + 1; ++i) {
    bits.push_back('1');
    PutBits(bits, static_cast<int>(kAlphabet.find(i == inner ? '=' : 'a')), 6);
  }
  return Characters(bits + "11");
}

}  // namespace kd::testing
