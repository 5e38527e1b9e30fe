#include "script/arrays.h"
#include "script/error.h"
#include "script/interpreter.h"
#include "script/object.h"

namespace kz::script {

Interpreter::Flow Interpreter::execBlock(const Block& block) {
    for (const StmtPtr& stmt : block) {
        tick();
        Flow flow = Flow::Normal;
        try {
            flow = exec(*stmt);
        } catch (ScriptException& e) {
            if (e.line == 0) e.line = stmt->line;
            if (e.fatal || e.isSyntax || !frame_->resumeNext) throw;
            err_->record(e.number, e.what());
            continue;
        }
        if (flow != Flow::Normal) return flow;
    }
    return Flow::Normal;
}

Interpreter::Flow Interpreter::exec(const Stmt& stmt) {
    switch (stmt.kind) {
        case StmtKind::Dim:
        case StmtKind::ReDim:
            execDim(stmt);
            return Flow::Normal;
        case StmtKind::Const:
            execConst(stmt);
            return Flow::Normal;
        case StmtKind::Assign:
        case StmtKind::Set:
            assign(*stmt.target, eval(*stmt.value), stmt.kind == StmtKind::Set);
            return Flow::Normal;
        case StmtKind::Call:
            callStatement(*stmt.target);
            return Flow::Normal;
        case StmtKind::If:
            return execIf(stmt);
        case StmtKind::Select:
            return execSelect(stmt);
        case StmtKind::For:
            return execFor(stmt);
        case StmtKind::ForEach:
            return execForEach(stmt);
        case StmtKind::Do:
            return execDo(stmt);
        case StmtKind::Exit:
            return stmt.exitKind == ExitKind::Do    ? Flow::ExitDo
                   : stmt.exitKind == ExitKind::For ? Flow::ExitFor
                                                    : Flow::ExitProcedure;
        case StmtKind::OnErrorResume:
            frame_->resumeNext = true;
            err_->clear();
            return Flow::Normal;
        case StmtKind::OnErrorGoto0:
            frame_->resumeNext = false;
            err_->clear();
            return Flow::Normal;
        case StmtKind::Erase: {
            Variable& var = variableForWrite(stmt.variable);
            Value& v = var.get();
            if (!v.isArray()) ThrowRuntime(kTypeMismatch);
            if (v.arrayPart()->fixed) {
                for (Value& item : v.arrayPart()->items) item = Value();
            } else {
                v = Value::array(MakeArray({}));
            }
            return Flow::Normal;
        }
        case StmtKind::OptionExplicit:
            return Flow::Normal;
    }
    return Flow::Normal;
}

bool Interpreter::condition(const Expr& expr) {
    Value v = eval(expr);
    return !v.isNull() && ToBoolean(v);
}

Interpreter::Flow Interpreter::execIf(const Stmt& stmt) {
    for (std::size_t i = 0; i < stmt.conditions.size(); ++i) {
        bool holds = false;
        try {
            holds = condition(*stmt.conditions[i]);
        } catch (ScriptException& e) {
            // Under On Error Resume Next a failing condition goes on into its branch.
            if (e.fatal || !frame_->resumeNext) throw;
            err_->record(e.number, e.what());
            holds = true;
        }
        if (holds) return execBlock(stmt.blocks[i]);
    }
    return stmt.hasElse ? execBlock(stmt.elseBlock) : Flow::Normal;
}

Interpreter::Flow Interpreter::execSelect(const Stmt& stmt) {
    Value value = eval(*stmt.value);
    auto holds = [](const Value& v) { return !v.isNull() && ToBoolean(v); };
    for (const CaseClause& clause : stmt.cases) {
        for (const CaseItem& item : clause.items) {
            Value test = eval(*item.value);
            bool match = false;
            if (item.upper) {
                Value upper = eval(*item.upper);
                match = holds(Compare(Op::Ge, value, test)) && holds(Compare(Op::Le, value, upper));
            } else {
                match = holds(Compare(item.isOp, value, test));
            }
            if (match) return execBlock(clause.body);
        }
    }
    return stmt.hasElse ? execBlock(stmt.elseBlock) : Flow::Normal;
}

Interpreter::Flow Interpreter::execFor(const Stmt& stmt) {
    Value from = eval(*stmt.from);
    Value to = eval(*stmt.to);
    Value step = stmt.step ? eval(*stmt.step) : Value::integer(1);
    if (from.isNull() || to.isNull() || step.isNull()) ThrowRuntime(kInvalidUseOfNull);
    bool down = ToDouble(step) < 0;
    variableForWrite(stmt.variable).get() = from;
    for (;;) {
        tick();
        Value current = variableForWrite(stmt.variable).get();
        bool inside = down ? ToDouble(current) >= ToDouble(to) : ToDouble(current) <= ToDouble(to);
        if (!inside) break;
        Flow flow = execBlock(stmt.body);
        if (flow == Flow::ExitFor) break;
        if (flow != Flow::Normal) return flow;
        Value& counter = variableForWrite(stmt.variable).get();
        counter = Arithmetic(Op::Add, counter, step);
    }
    return Flow::Normal;
}

Interpreter::Flow Interpreter::execForEach(const Stmt& stmt) {
    Value group = eval(*stmt.value);
    std::vector<Value> items;
    if (group.isArray()) {
        items = group.arrayPart()->items;
    } else if (!group.isObject() || !group.objectPart() || !group.objectPart()->items(items)) {
        ThrowRuntime(kNotACollection);
    }
    for (Value& item : items) {
        tick();
        variableForWrite(stmt.variable).get() = std::move(item);
        Flow flow = execBlock(stmt.body);
        if (flow == Flow::ExitFor) break;
        if (flow != Flow::Normal) return flow;
    }
    return Flow::Normal;
}

Interpreter::Flow Interpreter::execDo(const Stmt& stmt) {
    auto test = [&] {
        bool holds = condition(*stmt.condition);
        bool isWhile = stmt.loopTest == LoopTest::PreWhile || stmt.loopTest == LoopTest::PostWhile;
        return isWhile ? holds : !holds;
    };
    bool pre = stmt.loopTest == LoopTest::PreWhile || stmt.loopTest == LoopTest::PreUntil;
    bool post = stmt.loopTest == LoopTest::PostWhile || stmt.loopTest == LoopTest::PostUntil;
    for (;;) {
        tick();
        if (pre && !test()) break;
        Flow flow = execBlock(stmt.body);
        if (flow == Flow::ExitDo && !stmt.whileWend) break;
        if (flow != Flow::Normal) return flow;
        if (post && !test()) break;
    }
    return Flow::Normal;
}

void Interpreter::execDim(const Stmt& stmt) {
    for (const DimItem& item : stmt.dims) {
        if (!item.hasBounds) {
            declare(item.name);
            continue;
        }
        std::vector<int32_t> upper;
        for (const ExprPtr& bound : item.bounds) upper.push_back(ToLong(eval(*bound)));
        if (stmt.kind == StmtKind::Dim) {
            Variable& var = declare(item.name);
            if (var.get().isArray()) continue;
            std::shared_ptr<ArrayData> array = MakeArray(upper);
            array->fixed = !upper.empty();
            var.get() = Value::array(std::move(array));
            continue;
        }
        Variable* existing = find(item.name);
        if (!existing && explicit_) ThrowRuntime(kVariableUndefined);
        Value& v = existing ? existing->get() : declare(item.name).get();
        if (v.isArray() && v.arrayPart()->fixed) ThrowRuntime(kArrayFixed);
        if (stmt.preserve && v.isArray()) {
            PreserveResize(*v.arrayPart(), upper);
        } else {
            v = Value::array(MakeArray(upper));
        }
    }
}

void Interpreter::execConst(const Stmt& stmt) {
    for (const ConstItem& item : stmt.consts) {
        Variable& var = declare(item.name);
        var.get() = eval(*item.value);
        var.isConst = true;
    }
}

}  // namespace kz::script
