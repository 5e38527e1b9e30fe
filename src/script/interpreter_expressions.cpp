#include "script/arrays.h"
#include "script/builtins.h"
#include "script/error.h"
#include "script/interpreter.h"
#include "script/limits.h"
#include "script/object.h"
#include "script/regexp.h"

namespace kz::script {

namespace {

Literal LiteralKind(const Expr& e) {
    const Expr* x = &e;
    while (x->kind == ExprKind::Unary && x->op == Op::Neg) x = x->left.get();
    if (x->kind != ExprKind::Literal) return Literal::None;
    if (x->literal.isString()) return Literal::Text;
    return x->literal.isNumeric() ? Literal::Number : Literal::None;
}

Value CheckedString(Value v) {
    if (v.isString()) CheckStringLength(v.stringPart().size());
    return v;
}

}  // namespace

Value Interpreter::eval(const Expr& e) {
    switch (e.kind) {
        case ExprKind::Literal:
            return e.literal;
        case ExprKind::Nothing:
            return Value::object(nullptr);
        case ExprKind::Paren:
            return eval(*e.left);
        case ExprKind::New:
            if (e.name != "regexp") ThrowRuntime(506, "Class not defined");
            return Value::object(CreateRegExp());
        case ExprKind::Name:
            return evalName(e);
        case ExprKind::Index: {
            Value held = eval(*e.left);
            std::vector<Value> args = evalArgs(e.args);
            if (held.isArray()) return ElementAt(*held.arrayPart(), args);
            if (held.isObject() && held.objectPart()) return held.objectPart()->callDefault(args);
            ThrowRuntime(kTypeMismatch);
        }
        case ExprKind::Member:
            return evalMember(e);
        case ExprKind::Unary: {
            Value operand = eval(*e.left);
            return e.op == Op::Not ? LogicalNot(operand) : Negate(operand);
        }
        case ExprKind::Binary:
            return evalBinary(e);
    }
    return {};
}

Value Interpreter::evalBinary(const Expr& e) {
    Value a = eval(*e.left);
    Value b = eval(*e.right);
    switch (e.op) {
        case Op::Concat:
            if (!a.isNull() && !b.isNull() && a.isString() && b.isString())
                CheckStringLength(a.stringPart().size() + b.stringPart().size());
            return CheckedString(Concatenate(a, b));
        case Op::Eq:
        case Op::Ne:
        case Op::Lt:
        case Op::Le:
        case Op::Gt:
        case Op::Ge:
            return Compare(e.op, a, b, LiteralKind(*e.left), LiteralKind(*e.right));
        case Op::Is:
            if (!a.isObject() || !b.isObject()) ThrowRuntime(kObjectRequired);
            return Value::boolean(a.objectPart() == b.objectPart());
        case Op::And:
        case Op::Or:
        case Op::Xor:
        case Op::Eqv:
        case Op::Imp:
            return Logical(e.op, a, b);
        case Op::Add:
            if (a.isString() && b.isString())
                CheckStringLength(a.stringPart().size() + b.stringPart().size());
            return Arithmetic(e.op, a, b);
        default:
            return Arithmetic(e.op, a, b);
    }
}

std::vector<Value> Interpreter::evalArgs(const std::vector<ExprPtr>& args) {
    std::vector<Value> values;
    values.reserve(args.size());
    for (const ExprPtr& arg : args) values.push_back(eval(*arg));
    return values;
}

Value Interpreter::evalName(const Expr& e) {
    if (Variable* var = find(e.name)) {
        const Value& v = var->get();
        if (!e.hasArgs) return v;
        std::vector<Value> indexes = evalArgs(e.args);
        Value& held = var->get();
        if (held.isArray()) return ElementAt(*held.arrayPart(), indexes);
        if (held.isObject() && held.objectPart()) return held.objectPart()->callDefault(indexes);
        ThrowRuntime(kTypeMismatch);
    }
    if (frame_->procedure && frame_->procedure->name == e.name && !e.hasArgs) return frame_->result;
    auto proc = procedures_.find(e.name);
    if (proc != procedures_.end()) return callProcedure(*proc->second, e.args);
    if (const Builtin* builtin = FindBuiltin(e.name)) {
        std::vector<Value> args = evalArgs(e.args);
        if (int(args.size()) < builtin->minArgs || int(args.size()) > builtin->maxArgs)
            ThrowRuntime(kWrongArguments);
        return CheckedString(builtin->fn(args));
    }
    if (e.name == "err") {
        if (e.hasArgs) ThrowRuntime(kTypeMismatch);
        return Value::object(err_);
    }
    Value constant;
    if (FindConstant(e.name, constant)) return constant;
    if (explicit_) ThrowRuntime(kVariableUndefined);
    if (e.hasArgs) ThrowRuntime(kTypeMismatch);
    return {};
}

Value Interpreter::evalMember(const Expr& e) {
    Value object = eval(*e.left);
    if (!object.isObject() || !object.objectPart()) ThrowRuntime(kObjectRequired);
    std::vector<Value> args = evalArgs(e.args);
    return CheckedString(object.objectPart()->get(e.name, args));
}

Value Interpreter::callStatement(const Expr& target) {
    if (target.kind == ExprKind::Name && !find(target.name)) {
        auto proc = procedures_.find(target.name);
        if (proc != procedures_.end()) return callProcedure(*proc->second, target.args);
        if (!FindBuiltin(target.name) && target.name != "err") {
            if (explicit_) ThrowRuntime(kVariableUndefined);
            ThrowRuntime(kTypeMismatch);
        }
    }
    return eval(target);
}

void Interpreter::assign(const Expr& target, Value value, bool isSet) {
    if (isSet && !value.isObject()) ThrowRuntime(kObjectRequired);
    if (!isSet && value.isObject()) {
        if (!value.objectPart()) ThrowRuntime(kObjectRequired);
        std::vector<Value> none;
        value = value.objectPart()->callDefault(none);
    }
    value = value.copy();
    if (target.kind == ExprKind::Index) ThrowRuntime(kIllegalAssignment);
    if (target.kind == ExprKind::Member) {
        Value object = eval(*target.left);
        if (!object.isObject() || !object.objectPart()) ThrowRuntime(kObjectRequired);
        if (target.hasArgs) ThrowRuntime(kWrongArguments);
        object.objectPart()->put(target.name, value);
        return;
    }
    if (!target.hasArgs) {
        assignName(target.name, std::move(value));
        return;
    }
    Variable* var = find(target.name);
    if (!var) {
        if (explicit_) ThrowRuntime(kVariableUndefined);
        ThrowRuntime(kTypeMismatch);
    }
    std::vector<Value> indexes = evalArgs(target.args);
    Value& held = var->get();
    if (!held.isArray()) ThrowRuntime(kTypeMismatch);
    ElementAt(*held.arrayPart(), indexes) = std::move(value);
}

void Interpreter::assignName(const std::string& name, Value value) {
    if (frame_->procedure && frame_->procedure->name == name && frame_->scope->count(name) == 0) {
        frame_->result = std::move(value);
        return;
    }
    variableForWrite(name).get() = std::move(value);
}

}  // namespace kz::script
