#include "script/interpreter.h"

#include "script/builtins.h"
#include "script/error.h"

namespace kz::script {

Interpreter::Interpreter(Limits limits) : limits_(limits), err_(std::make_shared<ErrObject>()) {
    globalFrame_.scope = &globals_;
}

void Interpreter::startRun() {
    budget_ = kAllocationBudget;
    deadline_ = std::chrono::steady_clock::now() + limits_.time;
    stackBase_ = static_cast<const char*>(__builtin_frame_address(0));
    depth_ = 0;
}

void Interpreter::tick() {
    if ((++ticks_ & 0x1F) != 0) return;
    if (std::chrono::steady_clock::now() > deadline_)
        ThrowFatal(kTimedOut, kTimeoutCode, "Script timed out");
}

void Interpreter::load(std::shared_ptr<Program> program) {
    startRun();
    explicit_ = explicit_ || program->optionExplicit;
    for (const std::shared_ptr<Procedure>& proc : program->procedures)
        procedures_[proc->name] = proc;
    for (const std::string& name : program->globals) globals_.try_emplace(name);
    programs_.push_back(program);
    frame_ = &globalFrame_;
    BudgetScope budget(budget_);
    execBlock(program->statements);
}

bool Interpreter::hasProcedure(const std::string& lowerName) const {
    return procedures_.count(lowerName) != 0;
}

Value Interpreter::call(const std::string& lowerName, std::vector<Value> args) {
    auto it = procedures_.find(lowerName);
    if (it == procedures_.end()) ThrowRuntime(kVariableUndefined);
    startRun();
    std::vector<Variable> params(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) params[i].own = std::move(args[i]);
    frame_ = &globalFrame_;
    BudgetScope budget(budget_);
    return invoke(*it->second, std::move(params));
}

Value Interpreter::callProcedure(const Procedure& proc, const std::vector<ExprPtr>& args) {
    if (args.size() != proc.params.size()) ThrowRuntime(kWrongArguments);
    std::vector<Variable> params(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        const Expr& arg = *args[i];
        if (!proc.params[i].byVal && arg.kind == ExprKind::Name && !arg.hasArgs) {
            // A plain variable passes by reference; an undeclared one is declared first.
            Variable* var = find(arg.name);
            if (!var && !explicit_ && !hasProcedure(arg.name) && !FindBuiltin(arg.name)) {
                Value constant;
                if (!FindConstant(arg.name, constant) && arg.name != "err")
                    var = &declare(arg.name);
            }
            if (var && !var->isConst) {
                params[i].ref = &var->get();
                continue;
            }
        }
        params[i].own = eval(arg).copy();
    }
    return invoke(proc, std::move(params));
}

Value Interpreter::invoke(const Procedure& proc, std::vector<Variable> params) {
    if (proc.params.size() != params.size()) ThrowRuntime(kWrongArguments);
    const char* here = static_cast<const char*>(__builtin_frame_address(0));
    std::size_t used = stackBase_ > here ? std::size_t(stackBase_ - here) : 0;
    if (depth_ >= limits_.maxCallDepth || used > limits_.maxStackBytes)
        ThrowFatal(kOutOfStack, ErrorCode(kOutOfStack), ErrorText(kOutOfStack));
    tick();
    Scope locals;
    for (std::size_t i = 0; i < params.size(); ++i)
        locals[proc.params[i].name] = std::move(params[i]);
    for (const std::string& name : proc.locals) locals.try_emplace(name);
    Frame frame;
    frame.procedure = &proc;
    frame.scope = &locals;
    Frame* caller = frame_;
    frame_ = &frame;
    ++depth_;
    struct Restore {
        Interpreter& self;
        Frame* caller;
        ~Restore() {
            self.frame_ = caller;
            --self.depth_;
        }
    } restore{*this, caller};
    execBlock(proc.body);
    return std::move(frame.result);
}

Variable* Interpreter::find(const std::string& name) {
    if (frame_->scope != &globals_) {
        auto it = frame_->scope->find(name);
        if (it != frame_->scope->end()) return &it->second;
    }
    auto it = globals_.find(name);
    return it == globals_.end() ? nullptr : &it->second;
}

Variable& Interpreter::declare(const std::string& name) {
    return (*frame_->scope)[name];
}

Variable& Interpreter::variableForWrite(const std::string& name) {
    if (Variable* var = find(name)) {
        if (var->isConst) ThrowRuntime(kIllegalAssignment);
        return *var;
    }
    if (explicit_) ThrowRuntime(kVariableUndefined);
    if (hasProcedure(name) || FindBuiltin(name)) ThrowRuntime(kIllegalAssignment);
    return declare(name);
}

}  // namespace kz::script
