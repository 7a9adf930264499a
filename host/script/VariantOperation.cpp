#include "VariantOperation.h"

#include "ScriptException.h"

#include <cstdint>

namespace host {

namespace {

bool IntegerLike(const Variant& v)
{
    return v.Type() == pvtInteger || v.Type() == pvtVoid || v.Type() == pvtObject;
}

pkq_int64 Wrap(std::uint64_t v)
{
    return static_cast<pkq_int64>(v);
}

[[noreturn]] void Fail(const char16_t* message)
{
    throw ScriptException(ScriptException::kHostError, message);
}

} // namespace

void DoVariantOperation(pkq_int op, Variant& target, const Variant* operand)
{
    if (op < 0 || op > kOpDec)
        Fail(u"PKQDoVariantOperation: unknown operation code");
    if (op == kOpInc || op == kOpDec) {
        const pkq_int64 step = op == kOpInc ? 1 : -1;
        if (target.Type() == pvtReal)
            target = Variant(target.AsReal() + static_cast<double>(step));
        else
            target = Variant(Wrap(static_cast<std::uint64_t>(target.AsInteger()) +
                                  static_cast<std::uint64_t>(step)));
        return;
    }
    if (!operand)
        Fail(u"PKQDoVariantOperation: missing operand");
    const Variant b = *operand; // a copy: `operand` may be `target`
    const pkq_int64 x = target.AsInteger();
    const pkq_int64 y = b.AsInteger();
    const std::uint64_t ux = static_cast<std::uint64_t>(x);
    const std::uint64_t uy = static_cast<std::uint64_t>(y);
    const bool ints = IntegerLike(target) && IntegerLike(b);
    switch (op) {
    case kOpAssign:
        target = b;
        return;
    case kOpBitAnd:
        target = Variant(x & y);
        return;
    case kOpBitOr:
        target = Variant(x | y);
        return;
    case kOpBitXor:
        target = Variant(x ^ y);
        return;
    case kOpAdd:
        if (target.IsString() || b.IsString()) {
            target = Variant(target.AsText() + b.AsText());
            return;
        }
        target = ints ? Variant(Wrap(ux + uy)) : Variant(target.AsReal() + b.AsReal());
        return;
    case kOpSub:
        target = ints ? Variant(Wrap(ux - uy)) : Variant(target.AsReal() - b.AsReal());
        return;
    case kOpMul:
        target = ints ? Variant(Wrap(ux * uy)) : Variant(target.AsReal() * b.AsReal());
        return;
    case kOpDiv:
        target = Variant(target.AsReal() / b.AsReal());
        return;
    case kOpMod:
    case kOpIntDiv:
        if (y == 0)
            Fail(u"PKQDoVariantOperation: division by zero");
        if (y == -1) // avoids the INT64_MIN / -1 overflow
            target = op == kOpMod ? Variant(pkq_int64{0}) : Variant(Wrap(0 - ux));
        else
            target = op == kOpMod ? Variant(x % y) : Variant(x / y);
        return;
    case kOpLogOr:
        target = Variant(pkq_int64{target.AsBool() || b.AsBool() ? 1 : 0});
        return;
    case kOpLogAnd:
        target = Variant(pkq_int64{target.AsBool() && b.AsBool() ? 1 : 0});
        return;
    case kOpSar:
        target = Variant(x >> (y & 63));
        return;
    case kOpSal:
        target = Variant(Wrap(ux << (y & 63)));
        return;
    case kOpShr:
        target = Variant(Wrap(ux >> (y & 63)));
        return;
    default:
        Fail(u"PKQDoVariantOperation: unknown operation code");
    }
}

} // namespace host
