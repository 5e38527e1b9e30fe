#pragma once
// Runs parsed programs: variables and scopes, procedure calls with ByRef and ByVal,
// On Error Resume Next, and the bounds of a run.

#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "script/ast.h"
#include "script/err_object.h"
#include "script/limits.h"

namespace kz::script {

struct Variable {
    Value own;
    Value* ref = nullptr;  // a ByRef parameter: the caller's variable
    bool isConst = false;
    Value& get() { return ref ? *ref : own; }
};

using Scope = std::unordered_map<std::string, Variable>;

class Interpreter {
  public:
    explicit Interpreter(Limits limits);
    // Adds the program's procedures and runs its top-level statements.
    void load(std::shared_ptr<Program> program);
    bool hasProcedure(const std::string& lowerName) const;
    // Calls a procedure with values; throws when it is not defined.
    Value call(const std::string& lowerName, std::vector<Value> args);

  private:
    enum class Flow { Normal, ExitDo, ExitFor, ExitProcedure };

    struct Frame {
        const Procedure* procedure = nullptr;
        Scope* scope = nullptr;
        Value result;
        bool resumeNext = false;
    };

    void startRun();
    void tick();

    // Statements.
    Flow execBlock(const Block& block);
    Flow exec(const Stmt& stmt);
    Flow execIf(const Stmt& stmt);
    Flow execSelect(const Stmt& stmt);
    Flow execFor(const Stmt& stmt);
    Flow execForEach(const Stmt& stmt);
    Flow execDo(const Stmt& stmt);
    void execDim(const Stmt& stmt);
    void execConst(const Stmt& stmt);
    bool condition(const Expr& expr);

    // Expressions.
    Value eval(const Expr& expr);
    Value evalName(const Expr& expr);
    Value evalMember(const Expr& expr);
    Value evalBinary(const Expr& expr);
    std::vector<Value> evalArgs(const std::vector<ExprPtr>& args);
    Value callProcedure(const Procedure& proc, const std::vector<ExprPtr>& args);
    Value invoke(const Procedure& proc, std::vector<Variable> params);
    Value callStatement(const Expr& target);

    // Variables and assignment.
    Variable* find(const std::string& name);
    Variable& declare(const std::string& name);
    Variable& variableForWrite(const std::string& name);
    void assign(const Expr& target, Value value, bool isSet);
    void assignName(const std::string& name, Value value);

    Limits limits_;
    std::chrono::steady_clock::time_point deadline_;
    unsigned ticks_ = 0;
    std::size_t budget_ = kAllocationBudget;
    const char* stackBase_ = nullptr;
    int depth_ = 0;
    bool explicit_ = false;
    Scope globals_;
    Frame globalFrame_;
    Frame* frame_ = &globalFrame_;
    std::unordered_map<std::string, std::shared_ptr<Procedure>> procedures_;
    std::vector<std::shared_ptr<Program>> programs_;
    std::shared_ptr<ErrObject> err_;
};

}  // namespace kz::script
