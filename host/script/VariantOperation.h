// PKQDoVariantOperation: the operations of ApplyOperation on
// host variants. Codes (the low 5 bits of ApplyOperation's flags):
//
//   0  assign     target = operand
//   1  band       integer &          9  mul   integer if both integer, else real
//   2  bor        integer |         10  lor   integer 1/0 of (target || operand)
//   3  bxor       integer ^         11  land  integer 1/0 of (target && operand)
//   4  sub        integer if both   12  sar   arithmetic shift right (count & 63)
//                 integer, else real 13  sal   shift left (count & 63)
//   5  add        string concatenation when either side is a string,
//                 else as sub        14  sr    logical shift right (count & 63)
//   6  mod        integer %         15  inc   +1 (operand not used, may be null)
//   7  div        real /            16  dec   -1 (operand not used, may be null)
//   8  idiv       integer /
//
// "Both integer" means both are integers or void (void counts as integer 0);
// objects count as 0. Integer arithmetic wraps (two's complement).
// Failures raise a host exception (ScriptException, type HostError): an
// unknown code, a null operand for codes other than 15 and 16, and integer
// division or modulo by zero.
#pragma once

#include "Variant.h"

namespace host {

inline constexpr pkq_int kOpAssign = 0;
inline constexpr pkq_int kOpBitAnd = 1;
inline constexpr pkq_int kOpBitOr = 2;
inline constexpr pkq_int kOpBitXor = 3;
inline constexpr pkq_int kOpSub = 4;
inline constexpr pkq_int kOpAdd = 5;
inline constexpr pkq_int kOpMod = 6;
inline constexpr pkq_int kOpDiv = 7;
inline constexpr pkq_int kOpIntDiv = 8;
inline constexpr pkq_int kOpMul = 9;
inline constexpr pkq_int kOpLogOr = 10;
inline constexpr pkq_int kOpLogAnd = 11;
inline constexpr pkq_int kOpSar = 12;
inline constexpr pkq_int kOpSal = 13;
inline constexpr pkq_int kOpShr = 14;
inline constexpr pkq_int kOpInc = 15;
inline constexpr pkq_int kOpDec = 16;

void DoVariantOperation(pkq_int op, Variant& target, const Variant* operand);

} // namespace host
