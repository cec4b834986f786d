#include "analyzer/Demangle.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace {

// The reader's nesting (types within types, names within template arguments) and the printer's:
// a real symbol nests a few levels deep; a hostile one is refused before the stack is at risk.
constexpr int ReadDepthLimit = 96;
constexpr int PrintDepthLimit = 192;
// The reader's steps for each character: a conversion operator's type may be read twice (binutils
// reads it once to see whether a template's arguments follow it), never more.
constexpr size_t ReadStepsPerCharacter = 16;
// Substitutions let a short symbol print a text that doubles with every few characters: the text
// and the printer's steps are capped so that such a name costs no more than a long real one.
constexpr size_t PrintedLimit = 16384;
constexpr size_t PrintStepLimit = 100000;

enum class Kind : uint8_t {
    Builtin,          // text; bits: how a literal of the type prints
    Name,             // text as it is; bits: 1 for a std:: abbreviation
    Nested,           // a::b
    Template,         // a<list>
    Pack,             // list: an argument pack, printed as its arguments
    Param,            // template parameter number, printing as that argument of the template in scope
    Ctor,             // text: the class's name
    Dtor,             // ~text
    Operator,         // operator text; bits: 1 for a vendor's operator
    LiteralOperator,  // operator"" text
    Conversion,       // operator a
    AbiTag,           // a[abi:text]
    Lambda,           // {lambda(list)#number}
    Unnamed,          // {unnamed type#number}
    Local,            // a::b, where a is the encoding of a function
    DefaultArg,       // {default arg#number}::a
    Function,         // an encoding: [b ]a(list), then text's cv-qualifiers and bits' ref-qualifier
    FunctionType,     // b (list), qualified as Function is
    Pointer,          // a*
    LRef,             // a&
    RRef,             // a&&
    Qualified,        // a with the cv-qualifiers of text (the letters as mangled)
    Suffixed,         // a, then text (complex, imaginary), a declarator as a pointer is
    Array,            // a [text], or a [b] for a dimension given as an expression
    PtrMem,           // b a::*
    Expansion,        // a, once for each argument of its pack
    Special,          // text, then a
    ReferenceTemporary, // reference temporary #number for a; bits: 1 if the number is negative
    Construction,     // construction vtable for b-in-a
    Clone,            // a [clone text]
    Literal,          // (a)text, or text with a suffix for the integer types; bits: 1 if negative
    FunctionParam,    // {parm#number}, this for 0
    Unary,            // text a; bits: 1 if a is a type
    Binary,           // a text b
    Ternary,          // a text b : list[0]
    Decltype,         // decltype (a)
};

// How a literal of a builtin type prints: 5, 5u, 5l, 5ul, 5ll, 5ull, true, (float)[...], or (type)5.
enum LiteralStyle : uint8_t { Cast, Int, Unsigned, Long, UnsignedLong, LongLong, UnsignedLongLong, Bool, Float, Void };

struct Node {
    Kind kind;
    uint8_t bits = 0;
    int a = -1, b = -1;
    uint32_t number = 0;
    std::string_view text;
    std::vector<int> list;
};

struct BuiltinType {
    char code;
    std::string_view name;
    LiteralStyle style;
};
constexpr BuiltinType BuiltinTypes[] = {
    { 'a', "signed char", Cast }, { 'b', "bool", Bool }, { 'c', "char", Cast }, { 'd', "double", Float },
    { 'e', "long double", Float }, { 'f', "float", Float }, { 'g', "__float128", Float },
    { 'h', "unsigned char", Cast }, { 'i', "int", Int }, { 'j', "unsigned int", Unsigned }, { 'l', "long", Long },
    { 'm', "unsigned long", UnsignedLong }, { 'n', "__int128", Cast }, { 'o', "unsigned __int128", Cast },
    { 's', "short", Cast }, { 't', "unsigned short", Cast }, { 'v', "void", Void }, { 'w', "wchar_t", Cast },
    { 'x', "long long", LongLong }, { 'y', "unsigned long long", UnsignedLongLong }, { 'z', "...", Cast },
};
// The builtin types of two letters, D and this one.
constexpr BuiltinType DBuiltinTypes[] = {
    { 'a', "auto", Cast }, { 'n', "decltype(nullptr)", Cast },
    { 'd', "decimal64", Cast }, { 'e', "decimal128", Cast }, { 'f', "decimal32", Cast }, { 'h', "half", Cast },
    { 's', "char16_t", Cast }, { 'i', "char32_t", Cast },
};

struct OperatorCode {
    std::string_view code, spelling;
    int operands;
};
// The spellings are binutils' own: an operator's name drops a trailing space, an expression keeps it.
constexpr OperatorCode Operators[] = {
    { "aN", "&=", 2 }, { "aS", "=", 2 }, { "aa", "&&", 2 }, { "ad", "&", 1 }, { "an", "&", 2 },
    { "at", "alignof ", 1 }, { "az", "alignof ", 1 }, { "cc", "const_cast", 2 }, { "cl", "()", 2 },
    { "cm", ",", 2 }, { "co", "~", 1 }, { "dV", "/=", 2 }, { "da", "delete[] ", 1 }, { "dc", "dynamic_cast", 2 },
    { "de", "*", 1 }, { "dl", "delete ", 1 }, { "ds", ".*", 2 }, { "dt", ".", 2 }, { "dv", "/", 2 },
    { "eO", "^=", 2 }, { "eo", "^", 2 }, { "eq", "==", 2 }, { "ge", ">=", 2 }, { "gs", "::", 1 }, { "gt", ">", 2 },
    { "ix", "[]", 2 }, { "lS", "<<=", 2 }, { "le", "<=", 2 }, { "ls", "<<", 2 }, { "lt", "<", 2 },
    { "mI", "-=", 2 }, { "mL", "*=", 2 }, { "mi", "-", 2 }, { "ml", "*", 2 }, { "mm", "--", 1 },
    { "na", "new[]", 3 }, { "ne", "!=", 2 }, { "ng", "-", 1 }, { "nt", "!", 1 }, { "nw", "new", 3 },
    { "oR", "|=", 2 }, { "oo", "||", 2 }, { "or", "|", 2 }, { "pL", "+=", 2 }, { "pl", "+", 2 },
    { "pm", "->*", 2 }, { "pp", "++", 1 }, { "ps", "+", 1 }, { "pt", "->", 2 }, { "qu", "?", 3 },
    { "rM", "%=", 2 }, { "rS", ">>=", 2 }, { "rc", "reinterpret_cast", 2 }, { "rm", "%", 2 }, { "rs", ">>", 2 },
    { "sc", "static_cast", 2 }, { "st", "sizeof ", 1 }, { "sz", "sizeof ", 1 }, { "tr", "throw", 0 },
    { "tw", "throw ", 1 },
};

const OperatorCode* FindOperator(std::string_view code)
{
    for (const OperatorCode& op : Operators)
        if (op.code == code)
            return &op;
    return nullptr;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

// The member function qualifiers of a nested name, which belong to the function it names.
struct MemberQualifiers {
    std::string_view cv;   // the letters r, V, K as mangled
    uint8_t ref = 0;       // 1 for &, 2 for &&
};

// A reader over the mangled text that builds the name's nodes: each step returns the node it read,
// or -1 when the text is not what it expects (the whole name then stays as it is).
struct Reader {
    std::string_view text;
    size_t at = 0;
    int depth = 0;
    size_t steps = 0;
    bool overflow = false;            // more nodes than a name of this length can need
    std::vector<Node> nodes{};
    std::vector<int> subs{};          // the substitution candidates, S_ first
    bool inConversion = false;        // within the type of a conversion operator
    std::string_view lastName{};      // the class a constructor or destructor is named after

    struct Deeper {
        Reader& reader;
        explicit Deeper(Reader& r) : reader(r)
        {
            ++reader.depth;
            ++reader.steps;
        }
        ~Deeper() { --reader.depth; }
        bool TooDeep() const
        {
            return reader.depth > ReadDepthLimit || reader.steps > ReadStepsPerCharacter * (reader.text.size() + 1) ||
                   reader.overflow;
        }
    };

    bool AtEnd() const { return at >= text.size(); }
    char Peek(size_t ahead = 0) const { return at + ahead < text.size() ? text[at + ahead] : '\0'; }
    bool Take(char c)
    {
        if (AtEnd() || text[at] != c)
            return false;
        ++at;
        return true;
    }

    // The new node's index. A name that needs more than a few for each character stops the reader.
    int Make(Node node)
    {
        if (nodes.size() > 4 * text.size() + 16)
            overflow = true;
        nodes.push_back(std::move(node));
        return int(nodes.size() - 1);
    }
    int Make(Kind kind, int a = -1, int b = -1, std::string_view text = {}, uint32_t number = 0, uint8_t bits = 0)
    {
        return Make(Node{ kind, bits, a, b, number, text, {} });
    }
    void AddSubstitution(int n) { subs.push_back(n); }

    // A decimal number, 'n' before it for a negative one; nullopt past nine digits.
    std::optional<int64_t> Number()
    {
        const bool negative = Take('n');
        int64_t value = 0;
        for (int digits = 0; IsDigit(Peek()); ++digits) {
            if (digits == 9)
                return std::nullopt;
            value = value * 10 + (text[at++] - '0');
        }
        return negative ? -value : value;
    }
    // '_' for 0, or a number n and '_' for n + 1; -1 when it is neither.
    int64_t CompactNumber()
    {
        if (Take('_'))
            return 0;
        if (Peek() == 'n')
            return -1;
        const std::optional<int64_t> n = Number();
        return n && Take('_') ? *n + 1 : -1;
    }
    // An optional _ and number after a local entity; its value is not printed.
    bool Discriminator()
    {
        return !Take('_') || Number().has_value();
    }

    int SourceName()
    {
        const std::optional<int64_t> length = Number();
        if (!length || *length <= 0 || uint64_t(*length) > text.size() - at)
            return -1;
        std::string_view name = text.substr(at, size_t(*length));
        at += size_t(*length);
        if (name.size() >= 10 && name.substr(0, 8) == "_GLOBAL_" &&
            (name[8] == '.' || name[8] == '_' || name[8] == '$') && name[9] == 'N')
            name = "(anonymous namespace)";
        lastName = name;
        return Make(Kind::Name, -1, -1, name);
    }

    int OperatorName()
    {
        if (text.size() - at < 2)
            return -1;
        const std::string_view code = text.substr(at, 2);
        at += 2;
        if (code[0] == 'v' && IsDigit(code[1])) {
            const int name = SourceName();
            return name < 0 ? -1 : Make(Kind::Operator, -1, -1, nodes[name].text, 0, 1);
        }
        if (code == "cv") {
            const bool held = inConversion;
            inConversion = true;
            const int type = Type();
            inConversion = held;
            return type < 0 ? -1 : Make(Kind::Conversion, type);
        }
        if (code == "li") {
            const int name = SourceName();
            return name < 0 ? -1 : Make(Kind::LiteralOperator, -1, -1, nodes[name].text);
        }
        const OperatorCode* op = FindOperator(code);
        return op ? Make(Kind::Operator, -1, -1, op->spelling) : -1;
    }

    int CtorDtorName()
    {
        const char kind = Peek(), variant = Peek(1);
        const bool known = kind == 'C' ? (variant >= '1' && variant <= '5')
                                       : (variant == '0' || variant == '1' || variant == '2' || variant == '4' || variant == '5');
        if (!known || lastName.empty())
            return -1;
        at += 2;
        return Make(kind == 'C' ? Kind::Ctor : Kind::Dtor, -1, -1, lastName);
    }

    // Ul <parameter types> E [n] _, or Ut [n] _; each is a substitution candidate of its own.
    int ClosureOrUnnamedType()
    {
        const bool lambda = Peek(1) == 'l';
        if (!lambda && Peek(1) != 't')
            return -1;
        at += 2;
        Node node{ lambda ? Kind::Lambda : Kind::Unnamed, 0, -1, -1, 0, {}, {} };
        if (lambda && (!ParameterTypes(node.list) || !Take('E')))
            return -1;
        const int64_t number = CompactNumber();
        if (number < 0)
            return -1;
        node.number = uint32_t(number + 1);
        const int n = Make(std::move(node));
        AddSubstitution(n);
        return n;
    }

    int UnqualifiedName()
    {
        Deeper deeper(*this);
        if (deeper.TooDeep())
            return -1;
        const char c = Peek();
        int n = -1;
        if (IsDigit(c)) {
            n = SourceName();
        } else if (IsLower(c)) {
            n = OperatorName();
        } else if (c == 'C' || c == 'D') {
            n = CtorDtorName();
        } else if (c == 'L') {
            ++at;
            n = SourceName();
            if (n >= 0 && !Discriminator())
                return -1;
        } else if (c == 'U') {
            n = ClosureOrUnnamedType();
        }
        return n < 0 ? -1 : AbiTags(n);
    }
    // B <source name>, repeated: ABI tags, which name no class of their own for a constructor.
    int AbiTags(int n)
    {
        const std::string_view held = lastName;
        while (Take('B')) {
            const int tag = SourceName();
            if (tag < 0)
                return -1;
            n = Make(Kind::AbiTag, n, -1, nodes[tag].text);
        }
        lastName = held;
        return n;
    }

    // S_, S<base 36>_, or one of the std:: abbreviations. In a nested name before a constructor or
    // destructor, the abbreviations of std::string and the streams spell out their templates.
    int Substitution(bool inPrefix)
    {
        ++at;
        const char c = Peek();
        if (c == '_' || IsDigit(c) || IsUpper(c)) {
            uint64_t id = 0;
            if (c != '_') {
                for (int digits = 0; IsDigit(Peek()) || IsUpper(Peek()); ++digits) {
                    if (digits == 6)
                        return -1;
                    const char d = text[at++];
                    id = id * 36 + uint64_t(IsDigit(d) ? d - '0' : d - 'A' + 10);
                }
                ++id;
            }
            if (!Take('_') || id >= subs.size())
                return -1;
            return subs[size_t(id)];
        }
        struct Abbreviation {
            char code;
            std::string_view shortName, fullName, className;
        };
        static constexpr Abbreviation Abbreviations[] = {
            { 't', "std", "std", "" },
            { 'a', "std::allocator", "std::allocator", "allocator" },
            { 'b', "std::basic_string", "std::basic_string", "basic_string" },
            { 's', "std::string", "std::basic_string<char, std::char_traits<char>, std::allocator<char> >", "basic_string" },
            { 'i', "std::istream", "std::basic_istream<char, std::char_traits<char> >", "basic_istream" },
            { 'o', "std::ostream", "std::basic_ostream<char, std::char_traits<char> >", "basic_ostream" },
            { 'd', "std::iostream", "std::basic_iostream<char, std::char_traits<char> >", "basic_iostream" },
        };
        for (const Abbreviation& abbreviation : Abbreviations) {
            if (abbreviation.code != c)
                continue;
            ++at;
            const bool full = inPrefix && (Peek() == 'C' || Peek() == 'D');
            if (!abbreviation.className.empty())
                lastName = abbreviation.className;
            int n = Make(Kind::Name, -1, -1, full ? abbreviation.fullName : abbreviation.shortName, 0, 1);
            if (Peek() != 'B')
                return n;
            // With ABI tags an abbreviation is a name of its own, and a candidate.
            if ((n = AbiTags(n)) >= 0)
                AddSubstitution(n);
            return n;
        }
        return -1;
    }

    // I <argument>* E (J for a pack), read into args; the arguments leave the constructor's class as it was.
    bool TemplateArgs(std::vector<int>& args)
    {
        ++at;
        const std::string_view held = lastName;
        while (!Take('E')) {
            if (AtEnd())
                return false;
            const int arg = TemplateArg();
            if (arg < 0)
                return false;
            args.push_back(arg);
        }
        lastName = held;
        return true;
    }
    int TemplateArg()
    {
        Deeper deeper(*this);
        if (deeper.TooDeep())
            return -1;
        switch (Peek()) {
        case 'X': {
            ++at;
            const int e = Expression();
            return e >= 0 && Take('E') ? e : -1;
        }
        case 'L':
            return ExprPrimary();
        case 'I':
        case 'J': {
            Node pack{ Kind::Pack, 0, -1, -1, 0, {}, {} };
            return TemplateArgs(pack.list) ? Make(std::move(pack)) : -1;
        }
        default:
            return Type();
        }
    }
    // The name n given the template arguments that follow it.
    int WithTemplateArgs(int n)
    {
        Node templ{ Kind::Template, 0, n, -1, 0, {}, {} };
        return TemplateArgs(templ.list) ? Make(std::move(templ)) : -1;
    }

    // T_ or T<n>_. Which argument it stands for is the printer's to say: as binutils does, it takes
    // the template in scope where the parameter is printed, which for a substitution may be another
    // than where it was read.
    int TemplateParam()
    {
        ++at;
        const int64_t index = CompactNumber();
        return index < 0 ? -1 : Make(Kind::Param, -1, -1, {}, uint32_t(index));
    }

    // N [qualifiers] [ref-qualifier] <prefix>* <name> E
    int NestedName(MemberQualifiers* qualifiers)
    {
        ++at;
        const size_t cvFrom = at;
        while (Peek() == 'r' || Peek() == 'V' || Peek() == 'K')
            ++at;
        MemberQualifiers found{ text.substr(cvFrom, at - cvFrom), 0 };
        if (Take('R'))
            found.ref = 1;
        else if (Take('O'))
            found.ref = 2;
        if (!found.cv.empty() || found.ref) {
            if (!qualifiers)
                return -1;
            *qualifiers = found;
        }
        int n = -1;
        for (;;) {
            const char c = Peek();
            if (c == 'E')
                break;
            int part = -1;
            if (c == 'D' && (Peek(1) == 'T' || Peek(1) == 't')) {
                part = Type();
            } else if (IsDigit(c) || IsLower(c) || c == 'C' || c == 'D' || c == 'U' || c == 'L') {
                part = UnqualifiedName();
            } else if (c == 'S') {
                part = Substitution(true);
            } else if (c == 'I') {
                if (n < 0 || (n = WithTemplateArgs(n)) < 0)
                    return -1;
            } else if (c == 'T') {
                part = TemplateParam();
            } else if (c == 'M' && n >= 0) {   // the scope of a lambda in an initializer
                ++at;
                continue;
            } else {
                return -1;
            }
            if (c != 'I') {
                if (part < 0)
                    return -1;
                n = n < 0 ? part : Make(Kind::Nested, n, part);
            }
            // Each prefix is a candidate, unless it came from one or ends the name.
            if (c != 'S' && Peek() != 'E')
                AddSubstitution(n);
        }
        ++at;
        return n;
    }

    // Z <encoding> E <entity> [discriminator], the entity s for a string literal.
    int LocalName(MemberQualifiers* qualifiers)
    {
        ++at;
        const int function = Encoding();
        if (function < 0 || !Take('E'))
            return -1;
        if (Take('s')) {
            if (!Discriminator())
                return -1;
            return Make(Kind::Local, function, Make(Kind::Name, -1, -1, "string literal"));
        }
        int64_t argument = -1;
        if (Take('d') && (argument = CompactNumber()) < 0)
            return -1;
        int entity = Name(qualifiers);
        if (entity < 0)
            return -1;
        if (nodes[entity].kind != Kind::Lambda && nodes[entity].kind != Kind::Unnamed && !Discriminator())
            return -1;
        if (argument >= 0)
            entity = Make(Kind::DefaultArg, entity, -1, {}, uint32_t(argument + 1));
        return Make(Kind::Local, function, entity);
    }

    int Name(MemberQualifiers* qualifiers)
    {
        Deeper deeper(*this);
        if (deeper.TooDeep())
            return -1;
        const char c = Peek();
        if (c == 'N')
            return NestedName(qualifiers);
        if (c == 'Z')
            return LocalName(qualifiers);
        int n = -1;
        bool candidate = true;
        if (c == 'S' && Peek(1) != 't') {
            n = Substitution(false);
            candidate = false;
        } else if (c == 'S') {
            at += 2;
            const int name = UnqualifiedName();
            if (name < 0)
                return -1;
            n = Make(Kind::Nested, Make(Kind::Name, -1, -1, "std"), name);
        } else {
            n = UnqualifiedName();
        }
        if (n >= 0 && Peek() == 'I') {
            if (candidate)
                AddSubstitution(n);
            n = WithTemplateArgs(n);
        }
        return n;
    }

    // The parameter types of a function up to its end, void alone standing for none.
    bool ParameterTypes(std::vector<int>& types)
    {
        for (;;) {
            const char c = Peek();
            if (AtEnd() || c == 'E' || c == '.' || ((c == 'R' || c == 'O') && Peek(1) == 'E'))
                break;
            const int type = Type();
            if (type < 0)
                return false;
            types.push_back(type);
        }
        if (types.size() == 1 && nodes[types[0]].kind == Kind::Builtin && nodes[types[0]].bits == Void)
            types.clear();
        else if (types.empty())
            return false;
        return true;
    }

    // F [Y] [J] <return type> <parameter types> [ref-qualifier] E
    int FunctionType()
    {
        ++at;
        Take('Y');
        Take('J');
        Node function{ Kind::FunctionType, 0, -1, Type(), 0, {}, {} };
        if (function.b < 0 || !ParameterTypes(function.list))
            return -1;
        if (Take('R'))
            function.bits = 1;
        else if (Take('O'))
            function.bits = 2;
        return Take('E') ? Make(std::move(function)) : -1;
    }

    int Type()
    {
        Deeper deeper(*this);
        if (deeper.TooDeep())
            return -1;
        const char c = Peek();
        for (const BuiltinType& builtin : BuiltinTypes)
            if (builtin.code == c) {
                ++at;
                return Make(Kind::Builtin, -1, -1, builtin.name, 0, builtin.style);
            }
        int n = -1;
        switch (c) {
        case 'r':
        case 'V':
        case 'K': {
            const size_t from = at;
            while (Peek() == 'r' || Peek() == 'V' || Peek() == 'K')
                ++at;
            const std::string_view cv = text.substr(from, at - from);
            if (Peek() == 'F') {
                // The qualifiers of a member function's type: only the qualified type is a candidate.
                if ((n = FunctionType()) < 0)
                    return -1;
                nodes[n].text = cv;
            } else {
                const int inner = Type();
                n = inner < 0 ? -1 : Make(Kind::Qualified, inner, -1, cv);
            }
            break;
        }
        case 'P':
        case 'R':
        case 'O':
        case 'C':
        case 'G': {
            ++at;
            const int inner = Type();
            if (inner < 0)
                return -1;
            if (c == 'C' || c == 'G')
                n = Make(Kind::Suffixed, inner, -1, c == 'C' ? "complex " : "imaginary ");
            else
                n = Make(c == 'P' ? Kind::Pointer : c == 'R' ? Kind::LRef : Kind::RRef, inner);
            break;
        }
        case 'F':
            n = FunctionType();
            break;
        case 'A':
            n = ArrayType();
            break;
        case 'M': {
            ++at;
            const int cls = Type();
            const int member = cls < 0 ? -1 : Type();
            n = member < 0 ? -1 : Make(Kind::PtrMem, cls, member);
            break;
        }
        case 'T':
            n = TemplateParam();
            if (n >= 0 && Peek() == 'I')
                n = TemplateTemplateArgs(n);
            break;
        case 'S':
            if (IsDigit(Peek(1)) || Peek(1) == '_' || IsUpper(Peek(1))) {
                n = Substitution(false);
                if (n < 0 || Peek() != 'I')
                    return n;
                n = WithTemplateArgs(n);
            } else {
                n = Name(nullptr);
                if (n >= 0 && nodes[n].kind == Kind::Name && nodes[n].bits == 1)
                    return n;   // a std:: abbreviation is no new candidate
            }
            break;
        case 'D':
            return DType();
        case 'u': {
            ++at;
            const int name = SourceName();
            n = name < 0 ? -1 : Make(Kind::Name, -1, -1, nodes[name].text);
            break;
        }
        default:
            if (IsDigit(c) || c == 'N' || c == 'Z')
                n = Name(nullptr);
            break;
        }
        if (n >= 0)
            AddSubstitution(n);
        return n;
    }

    // T_ followed by I: the arguments of a template template parameter, unless the parameter is
    // a conversion operator's type and the arguments are the operator's own (no second I follows).
    int TemplateTemplateArgs(int param)
    {
        if (!inConversion) {
            AddSubstitution(param);
            return WithTemplateArgs(param);
        }
        const size_t heldAt = at, heldNodes = nodes.size(), heldSubs = subs.size();
        const std::string_view heldName = lastName;
        Node templ{ Kind::Template, 0, param, -1, 0, {}, {} };
        if (TemplateArgs(templ.list) && Peek() == 'I') {
            AddSubstitution(param);
            return Make(std::move(templ));
        }
        at = heldAt;
        nodes.resize(heldNodes);
        subs.resize(heldSubs);
        lastName = heldName;
        return param;
    }

    int DType()
    {
        const char c = Peek(1);
        for (const BuiltinType& builtin : DBuiltinTypes)
            if (builtin.code == c) {
                at += 2;
                return Make(Kind::Builtin, -1, -1, builtin.name, 0, builtin.style);
            }
        int n = -1;
        if (c == 'p') {
            at += 2;
            const int pattern = Type();
            n = pattern < 0 ? -1 : Make(Kind::Expansion, pattern);
        } else if (c == 't' || c == 'T') {
            at += 2;
            const int e = Expression();
            n = e >= 0 && Take('E') ? Make(Kind::Decltype, e) : -1;
        }
        if (n >= 0)
            AddSubstitution(n);
        return n;
    }

    // A <dimension> _ <element type>, the dimension digits, an expression or nothing.
    int ArrayType()
    {
        ++at;
        Node array{ Kind::Array, 0, -1, -1, 0, {}, {} };
        if (IsDigit(Peek())) {
            const size_t from = at;
            while (IsDigit(Peek()))
                ++at;
            array.text = text.substr(from, at - from);
        } else if (Peek() != '_' && (array.b = Expression()) < 0) {
            return -1;
        }
        if (!Take('_') || (array.a = Type()) < 0)
            return -1;
        return Make(std::move(array));
    }

    // The expressions GCC puts in template arguments and decltype: literals, template and function
    // parameters, names, and the unary, binary and ternary operators. Casts, calls, member access,
    // new and the other forms are left unread.
    int Expression()
    {
        Deeper deeper(*this);
        if (deeper.TooDeep())
            return -1;
        const char c = Peek();
        if (c == 'L')
            return ExprPrimary();
        if (c == 'T')
            return TemplateParam();
        if (c == 's' && Peek(1) == 'r') {   // a name in a dependent scope: T::name
            at += 2;
            const int scope = Type();
            int name = scope < 0 ? -1 : UnqualifiedName();
            if (name >= 0 && Peek() == 'I')
                name = WithTemplateArgs(name);
            return name < 0 ? -1 : Make(Kind::Nested, scope, name);
        }
        if (c == 'f' && Peek(1) == 'p') {
            at += 2;
            int64_t index = 0;
            if (!Take('T') && (index = CompactNumber() + 1) <= 0)
                return -1;
            return Make(Kind::FunctionParam, -1, -1, {}, uint32_t(index));
        }
        if (IsDigit(c) || (c == 'o' && Peek(1) == 'n')) {
            if (c == 'o')
                at += 2;
            const int name = UnqualifiedName();
            return name >= 0 && Peek() == 'I' ? WithTemplateArgs(name) : name;
        }
        if (text.size() - at < 2)
            return -1;
        const OperatorCode* op = FindOperator(text.substr(at, 2));
        if (!op || op->code == "cl" || op->code == "dt" || op->code == "pt" || op->code == "pp" ||
            op->code == "mm" || op->code == "nw" || op->code == "na" || op->code == "gs" || op->operands == 0 ||
            op->spelling.find('_') != std::string_view::npos)
            return -1;
        at += 2;
        if (op->code == "st" || op->code == "at") {
            const int type = Type();
            return type < 0 ? -1 : Make(Kind::Unary, type, -1, op->spelling, 0, 1);
        }
        const int first = Expression();
        if (first < 0 || op->operands == 1)
            return first < 0 ? -1 : Make(Kind::Unary, first, -1, op->spelling);
        const int second = Expression();
        if (second < 0 || op->operands == 2)
            return second < 0 ? -1 : Make(Kind::Binary, first, second, op->spelling);
        const int third = Expression();
        if (third < 0)
            return -1;
        Node ternary{ Kind::Ternary, 0, first, second, 0, op->spelling, { third } };
        return Make(std::move(ternary));
    }

    // L <type> [n] <value> E, or L _Z <encoding> E for the address of a function or object.
    int ExprPrimary()
    {
        ++at;
        int n = -1;
        if (Peek() == '_' || Peek() == 'Z') {
            Take('_');
            n = Take('Z') ? Encoding() : -1;
        } else {
            Node literal{ Kind::Literal, 0, Type(), -1, 0, {}, {} };
            if (literal.a < 0)
                return -1;
            literal.bits = Take('n') ? 1 : 0;
            const size_t from = at;
            while (!AtEnd() && Peek() != 'E')
                ++at;
            literal.text = text.substr(from, at - from);
            if (literal.text.empty())
                return -1;
            n = Make(std::move(literal));
        }
        return n >= 0 && Take('E') ? n : -1;
    }

    int CallOffset(char kind)
    {
        if (kind == '\0')
            kind = AtEnd() ? '\0' : text[at++];
        if (kind != 'h' && kind != 'v')
            return -1;
        if (!Number() || (kind == 'v' && (!Take('_') || !Number())))
            return -1;
        return Take('_') ? 0 : -1;
    }

    int SpecialName()
    {
        if (text.size() - at < 2)
            return -1;
        const char group = text[at];
        const char code = text[at + 1];
        at += 2;
        std::string_view prefix;
        int n = -1;
        if (group == 'T') {
            switch (code) {
            case 'V': prefix = "vtable for "; n = Type(); break;
            case 'T': prefix = "VTT for "; n = Type(); break;
            case 'I': prefix = "typeinfo for "; n = Type(); break;
            case 'S': prefix = "typeinfo name for "; n = Type(); break;
            case 'F': prefix = "typeinfo fn for "; n = Type(); break;
            case 'J': prefix = "java Class for "; n = Type(); break;
            case 'H': prefix = "TLS init function for "; n = Name(nullptr); break;
            case 'W': prefix = "TLS wrapper function for "; n = Name(nullptr); break;
            case 'h':
                prefix = "non-virtual thunk to ";
                n = CallOffset('h') < 0 ? -1 : Encoding();
                break;
            case 'v':
                prefix = "virtual thunk to ";
                n = CallOffset('v') < 0 ? -1 : Encoding();
                break;
            case 'c':
                prefix = "covariant return thunk to ";
                n = CallOffset('\0') < 0 || CallOffset('\0') < 0 ? -1 : Encoding();
                break;
            case 'C': {
                const int derived = Type();
                const std::optional<int64_t> offset = derived < 0 ? std::nullopt : Number();
                const int base = offset && *offset >= 0 && Take('_') ? Type() : -1;
                return base < 0 ? -1 : Make(Kind::Construction, derived, base);
            }
            default: return -1;
            }
        } else {
            switch (code) {
            case 'V': prefix = "guard variable for "; n = Name(nullptr); break;
            case 'R': {
                const int name = Name(nullptr);
                const std::optional<int64_t> number = name < 0 ? std::nullopt : Number();
                if (!number)
                    return -1;
                return Make(Kind::ReferenceTemporary, name, -1, {}, uint32_t(*number < 0 ? -*number : *number), *number < 0);
            }
            case 'A': prefix = "transaction clone for "; n = Encoding(); break;
            case 'T':
                if (Take('n'))
                    prefix = "non-transaction clone for ";
                else if (Take('t'))
                    prefix = "transaction clone for ";
                else
                    return -1;
                n = Encoding();
                break;
            default: return -1;
            }
        }
        return n < 0 ? -1 : Make(Kind::Special, n, -1, prefix);
    }

    static bool IsCtorDtorOrConversion(const std::vector<Node>& nodes, int n)
    {
        while (nodes[n].kind == Kind::Nested || nodes[n].kind == Kind::Local)
            n = nodes[n].b;
        return nodes[n].kind == Kind::Ctor || nodes[n].kind == Kind::Dtor || nodes[n].kind == Kind::Conversion;
    }

    // <name> [<function type>], or a special name. A function template's first type is its return type.
    int Encoding()
    {
        Deeper deeper(*this);
        if (deeper.TooDeep())
            return -1;
        if (Peek() == 'T' || Peek() == 'G')
            return SpecialName();
        MemberQualifiers qualifiers;
        const int name = Name(&qualifiers);
        if (name < 0)
            return -1;
        if (AtEnd() || Peek() == 'E')
            return qualifiers.cv.empty() && !qualifiers.ref ? name : -1;
        int entity = name;
        while (nodes[entity].kind == Kind::Local)
            entity = nodes[entity].b;
        bool hasReturnType = nodes[entity].kind == Kind::Template && !IsCtorDtorOrConversion(nodes, nodes[entity].a);
        if (Take('J'))
            hasReturnType = true;
        Node function{ Kind::Function, qualifiers.ref, name, -1, 0, qualifiers.cv, {} };
        if ((hasReturnType && (function.b = Type()) < 0) || !ParameterTypes(function.list))
            return -1;
        return Make(std::move(function));
    }

    // GCC's clone suffixes: .name, .name.N, .N (each of the form binutils accepts), after the whole name.
    int CloneSuffixes(int n)
    {
        while (n >= 0 && Peek() == '.' && (IsLower(Peek(1)) || Peek(1) == '_' || IsDigit(Peek(1)))) {
            const size_t from = at;
            if (IsLower(Peek(1)) || Peek(1) == '_') {
                at += 2;
                while (IsLower(Peek()) || Peek() == '_')
                    ++at;
            }
            while (Peek() == '.' && IsDigit(Peek(1))) {
                at += 2;
                while (IsDigit(Peek()))
                    ++at;
            }
            n = Make(Kind::Clone, n, -1, text.substr(from, at - from));
        }
        return n;
    }
};

// Prints the nodes of a name. A type prints in two parts around where a declarator's name would
// go, the left one (int (*) and the right one ()(char)), so that pointers to functions and arrays
// come out in C++'s inside-out order.
struct Printer {
    const std::vector<Node>& nodes;
    std::string out{};
    std::vector<int> scopes{};      // the templates whose arguments T_ names, innermost last
    int currentTemplate = -1;       // the template being printed: a conversion's type names its arguments
    size_t packIndex = 0;           // the argument of a pack being expanded
    std::string pendingCv{};        // qualifiers of the enclosing types, outermost first, still to print
    size_t trimmedAt = std::string::npos;
    bool innerArray = false;        // the array whose right part comes next is another's element
    int depth = 0;
    size_t steps = 0;
    bool failed = false;

    struct Step {
        Printer& printer;
        explicit Step(Printer& p) : printer(p)
        {
            ++printer.depth;
            if (++printer.steps > PrintStepLimit || printer.depth > PrintDepthLimit || printer.out.size() > PrintedLimit)
                printer.failed = true;
        }
        ~Step() { --printer.depth; }
    };

    // binutils drops the ", " before an empty pack after it has written it: its last character is
    // still the space, so no space comes between the >s that follow.
    char Last() const { return out.size() == trimmedAt ? ' ' : out.empty() ? '\0' : out.back(); }

    static std::string_view Spelled(char cv) { return cv == 'K' ? " const" : cv == 'V' ? " volatile" : " restrict"; }

    // The argument a template parameter names in the depth innermost scopes, the pack's argument
    // being expanded for a pack; -1 when there is none.
    int Argument(const Node& param, size_t depth, bool element = true)
    {
        if (depth == 0 || depth > scopes.size())
            return -1;
        const Node& templ = nodes[scopes[depth - 1]];
        if (param.number >= templ.list.size())
            return -1;
        const int arg = templ.list[param.number];
        if (!element || nodes[arg].kind != Kind::Pack)
            return arg;
        return packIndex < nodes[arg].list.size() ? nodes[arg].list[packIndex] : -1;
    }
    // n as the printing reaches it: a template parameter is its argument, printed with its
    // template set aside (depth counts the scopes left).
    int Follow(int n, size_t& depth)
    {
        while (n >= 0 && nodes[n].kind == Kind::Param && ++steps < PrintStepLimit) {
            n = Argument(nodes[n], depth);
            --depth;
        }
        return n;
    }
    // FunctionType or Array when n is one, through qualifiers and parameters: what a pointer,
    // reference or member pointer to it puts in parentheses. Name for anything else.
    Kind DeclaratorKind(int n)
    {
        size_t depth = scopes.size();
        while ((n = Follow(n, depth)) >= 0 && nodes[n].kind == Kind::Qualified)
            n = nodes[n].a;
        return n >= 0 && (nodes[n].kind == Kind::FunctionType || nodes[n].kind == Kind::Array) ? nodes[n].kind : Kind::Name;
    }
    // A return type that puts the function inside its own declarator: void (*f())(int).
    bool WrapsFunction(int n)
    {
        size_t depth = scopes.size();
        bool modified = false;
        while ((n = Follow(n, depth)) >= 0 && ++steps < PrintStepLimit) {
            const Node& node = nodes[n];
            if (node.kind == Kind::Pointer || node.kind == Kind::LRef || node.kind == Kind::RRef ||
                node.kind == Kind::Suffixed || node.kind == Kind::PtrMem) {
                modified = true;
                n = node.kind == Kind::PtrMem ? node.b : node.a;
            } else if (node.kind == Kind::Qualified) {
                n = node.a;
            } else {
                return modified && (node.kind == Kind::FunctionType || node.kind == Kind::Array);
            }
        }
        return false;
    }

    void Print(int n)
    {
        Left(n);
        Right(n);
    }

    // Elements separated by ", "; the separators of elements at the end that print nothing (empty
    // packs) go with them.
    void List(const std::vector<int>& items)
    {
        size_t kept = out.size();
        for (size_t i = 0; i < items.size() && !failed; ++i) {
            if (i > 0)
                out += ", ";
            const size_t from = out.size();
            Print(items[i]);
            if (out.size() != from)
                kept = out.size();
        }
        if (kept < out.size()) {
            out.resize(kept);
            trimmedAt = kept;
        }
    }

    void Qualifiers(std::string_view cv, uint8_t ref)
    {
        for (size_t i = cv.size(); i-- > 0;)
            out += Spelled(cv[i]);
        if (ref)
            out += ref == 1 ? " &" : " &&";
    }

    // An operand of an expression: in parentheses unless it is a name or a function parameter.
    void Operand(int n)
    {
        const Kind kind = nodes[n].kind;
        const bool simple = kind == Kind::Name || kind == Kind::Nested || kind == Kind::FunctionParam;
        if (!simple)
            out += '(';
        Print(n);
        if (!simple)
            out += ')';
    }

    // The pack that a pattern expands: the first template parameter in it naming one.
    int FindPack(int n)
    {
        Step step(*this);
        if (n < 0 || failed)
            return -1;
        const Node& node = nodes[n];
        switch (node.kind) {
        case Kind::Param: {
            const int arg = Argument(node, scopes.size(), false);
            return arg >= 0 && nodes[arg].kind == Kind::Pack ? arg : -1;
        }
        case Kind::Builtin: case Kind::Name: case Kind::Ctor: case Kind::Dtor: case Kind::Operator:
        case Kind::LiteralOperator: case Kind::Lambda: case Kind::Unnamed: case Kind::FunctionParam:
        case Kind::DefaultArg: case Kind::Expansion: case Kind::Literal:
            return -1;
        default:
            break;
        }
        for (int child : { node.a, node.b })
            if (const int pack = FindPack(child); pack >= 0)
                return pack;
        for (int item : node.list)
            if (const int pack = FindPack(item); pack >= 0)
                return pack;
        return -1;
    }

    // A template parameter's argument, printed with its template set aside: the argument may
    // itself name a parameter of an enclosing template.
    void PrintArgument(const Node& param, bool left, std::string pending)
    {
        const int arg = Argument(param, scopes.size());
        if (arg < 0) {
            failed = true;
            return;
        }
        const int held = scopes.back();
        scopes.pop_back();
        if (left) {
            pendingCv = std::move(pending);
            Left(arg);
        } else {
            Right(arg);
        }
        scopes.push_back(held);
    }

    // The referenced type of a reference, a reference to a reference being one: && only when both are.
    int Referenced(const Node& reference, Kind& kind)
    {
        kind = reference.kind;
        int inner = reference.a;
        if (kind == Kind::Pointer || kind == Kind::Suffixed)
            return inner;
        if (nodes[inner].kind == Kind::Param && (inner = Argument(nodes[inner], scopes.size())) < 0) {
            failed = true;
            return reference.a;
        }
        if (nodes[inner].kind != Kind::LRef && nodes[inner].kind != Kind::RRef)
            return reference.a;
        kind = kind == Kind::RRef && nodes[inner].kind == Kind::RRef ? Kind::RRef : Kind::LRef;
        return nodes[inner].a;
    }

    void Left(int n)
    {
        Step step(*this);
        // The qualifiers above this type reach through template parameters and array types only.
        std::string pending = std::move(pendingCv);
        pendingCv.clear();
        if (failed || n < 0)
            return;
        const Node& node = nodes[n];
        switch (node.kind) {
        case Kind::Param:
            PrintArgument(node, true, std::move(pending));
            break;
        case Kind::Builtin:
        case Kind::Name:
        case Kind::Ctor:
            out += node.text;
            break;
        case Kind::Dtor:
            out += '~';
            out += node.text;
            break;
        case Kind::Nested:
        case Kind::Local:
            Print(node.a);
            out += "::";
            Print(node.b);
            break;
        case Kind::Template: {
            const int held = currentTemplate;
            currentTemplate = n;
            Print(node.a);
            if (Last() == '<')
                out += ' ';
            out += '<';
            List(node.list);
            if (Last() == '>')
                out += ' ';
            out += '>';
            currentTemplate = held;
            break;
        }
        case Kind::Pack:
            List(node.list);
            break;
        case Kind::Operator: {
            out += "operator";
            std::string_view spelling = node.text;
            if (node.bits == 1 || IsLower(spelling[0]))
                out += ' ';
            if (spelling.back() == ' ')
                spelling.remove_suffix(1);
            out += spelling;
            break;
        }
        case Kind::LiteralOperator:
            out += "operator\"\" ";
            out += node.text;
            break;
        case Kind::Conversion:
            out += "operator ";
            if (currentTemplate >= 0)
                scopes.push_back(currentTemplate);
            Print(node.a);
            if (currentTemplate >= 0)
                scopes.pop_back();
            break;
        case Kind::AbiTag:
            PrintTagged(node, "[abi:");
            break;
        case Kind::Lambda:
            out += "{lambda(";
            List(node.list);
            out += ")#" + std::to_string(node.number) + '}';
            break;
        case Kind::Unnamed:
            out += "{unnamed type#" + std::to_string(node.number) + '}';
            break;
        case Kind::DefaultArg:
            out += "{default arg#" + std::to_string(node.number) + "}::";
            Print(node.a);
            break;
        case Kind::Function: {
            // A function template's types name its arguments; its name is printed outside them.
            const bool templ = nodes[node.a].kind == Kind::Template;
            if (templ)
                scopes.push_back(node.a);
            if (node.b >= 0) {
                Left(node.b);
                if (!WrapsFunction(node.b))
                    out += ' ';
            }
            if (templ)
                scopes.pop_back();
            Print(node.a);
            if (templ)
                scopes.push_back(node.a);
            out += '(';
            List(node.list);
            out += ')';
            Qualifiers(node.text, node.bits);
            if (node.b >= 0)
                Right(node.b);
            if (templ)
                scopes.pop_back();
            break;
        }
        case Kind::FunctionType:
            Left(node.b);
            if (!WrapsFunction(node.b))
                out += ' ';
            break;
        case Kind::Pointer:
        case Kind::LRef:
        case Kind::RRef:
        case Kind::Suffixed: {
            Kind kind;
            const int inner = Referenced(node, kind);
            Left(inner);
            // Before the parenthesis of a function: a space, unless the declarator opens there.
            const Kind declarator = DeclaratorKind(inner);
            const bool opens = kind != Kind::Suffixed && (Last() == '(' || Last() == '*');
            if (declarator == Kind::Array || (declarator == Kind::FunctionType && !opens && Last() != ' '))
                out += ' ';
            if (declarator != Kind::Name)
                out += '(';
            out += kind == Kind::Pointer ? "*" : kind == Kind::LRef ? "&" : kind == Kind::RRef ? "&&" : node.text;
            break;
        }
        case Kind::Qualified: {
            // A qualifier already pending above is not repeated; an array's are printed by the array.
            std::string mine;
            for (char cv : node.text)
                if (pending.find(cv) == std::string::npos) {
                    pending += cv;
                    mine += cv;
                }
            const bool array = DeclaratorKind(node.a) == Kind::Array;
            pendingCv = std::move(pending);
            Left(node.a);
            if (!array)
                Qualifiers(mine, 0);
            break;
        }
        case Kind::Array:
            // The qualifiers of an array are its elements', printed after them by the innermost
            // array, outermost first (each array between turns their order round, as binutils does).
            if (DeclaratorKind(node.a) == Kind::Array) {
                pendingCv.assign(pending.rbegin(), pending.rend());
                Left(node.a);
            } else {
                pendingCv = pending;
                Left(node.a);
                for (char cv : pending)
                    out += Spelled(cv);
            }
            break;
        case Kind::PtrMem: {
            Left(node.b);
            const Kind declarator = DeclaratorKind(node.b);
            if (declarator == Kind::Array || (declarator == Kind::FunctionType && Last() != ' '))
                out += ' ';
            if (declarator != Kind::Name)
                out += '(';
            else if (Last() != '(')
                out += ' ';
            Print(node.a);
            out += "::*";
            break;
        }
        case Kind::Expansion: {
            const int pack = FindPack(node.a);
            if (pack < 0) {
                Operand(node.a);
                out += "...";
                break;
            }
            const size_t held = packIndex;
            const size_t count = nodes[pack].list.size();
            for (size_t i = 0; i < count && !failed; ++i) {
                packIndex = i;
                Print(node.a);
                if (i + 1 < count)
                    out += ", ";
            }
            packIndex = held;
            break;
        }
        case Kind::Special:
            out += node.text;
            Print(node.a);
            break;
        case Kind::ReferenceTemporary:
            out += "reference temporary #" + std::string(node.bits ? "-" : "") + std::to_string(node.number) + " for ";
            Print(node.a);
            break;
        case Kind::Construction:
            out += "construction vtable for ";
            Print(node.b);
            out += "-in-";
            Print(node.a);
            break;
        case Kind::Clone:
            PrintTagged(node, " [clone ");
            break;
        case Kind::Literal:
            PrintLiteral(node);
            break;
        case Kind::FunctionParam:
            out += node.number == 0 ? std::string("this") : "{parm#" + std::to_string(node.number) + '}';
            break;
        case Kind::Unary: {
            int operand = node.a;
            // The address of a member function is its name alone: &A::f.
            if (node.text == "&" && nodes[operand].kind == Kind::Function && nodes[nodes[operand].a].kind == Kind::Nested)
                operand = nodes[operand].a;
            out += node.text;
            if (node.bits == 1) {
                out += '(';
                Print(operand);
                out += ')';
            } else {
                Operand(operand);
            }
            break;
        }
        case Kind::Binary: {
            const bool greater = node.text == ">";   // kept apart from the > that closes the arguments
            if (greater)
                out += '(';
            Operand(node.a);
            if (node.text == "[]") {
                out += '[';
                Print(node.b);
                out += ']';
            } else {
                out += node.text;
                Operand(node.b);
            }
            if (greater)
                out += ')';
            break;
        }
        case Kind::Ternary:
            Operand(node.a);
            out += node.text;
            Operand(node.b);
            out += " : ";
            Operand(node.list[0]);
            break;
        case Kind::Decltype:
            out += "decltype (";
            Print(node.a);
            out += ')';
            break;
        }
    }
    Kind KindOf(int n)
    {
        size_t depth = scopes.size();
        n = Follow(n, depth);
        return n < 0 ? Kind::Name : nodes[n].kind;
    }

    void Right(int n)
    {
        Step step(*this);
        if (failed || n < 0)
            return;
        const Node& node = nodes[n];
        switch (node.kind) {
        case Kind::Param:
            PrintArgument(node, false, {});
            break;
        case Kind::Pointer:
        case Kind::LRef:
        case Kind::RRef:
        case Kind::Suffixed: {
            Kind kind;
            const int inner = Referenced(node, kind);
            if (DeclaratorKind(inner) != Kind::Name)
                out += ')';
            Right(inner);
            break;
        }
        case Kind::PtrMem:
            if (DeclaratorKind(node.b) != Kind::Name)
                out += ')';
            Right(node.b);
            break;
        case Kind::Qualified:
            Right(node.a);
            break;
        case Kind::Array:
            // [3][4] for an array of arrays, after one space: int (&) [3][4].
            if (!std::exchange(innerArray, false))
                out += ' ';
            out += '[';
            if (node.b >= 0)
                Print(node.b);
            else
                out += node.text;
            out += ']';
            innerArray = DeclaratorKind(node.a) == Kind::Array;
            Right(node.a);
            innerArray = false;
            break;
        case Kind::FunctionType:
            out += '(';
            List(node.list);
            out += ')';
            Qualifiers(node.text, node.bits);
            Right(node.b);
            break;
        default:
            break;
        }
    }

    // node.a, then its text in brackets: "f() [clone .constprop.0]", "name[abi:cxx11]".
    void PrintTagged(const Node& node, std::string_view opening)
    {
        Print(node.a);
        out += opening;
        out += node.text;
        out += ']';
    }

    void PrintLiteral(const Node& node)
    {
        const Node& type = nodes[node.a];
        const int style = type.kind == Kind::Builtin ? int(type.bits) : int(Cast);
        static constexpr std::string_view Suffixes[] = { "", "", "u", "l", "ul", "ll", "ull" };
        if (style >= Int && style <= UnsignedLongLong) {
            if (node.bits)
                out += '-';
            out += node.text;
            out += Suffixes[style];
            return;
        }
        if (style == Bool && !node.bits && (node.text == "0" || node.text == "1")) {
            out += node.text == "0" ? "false" : "true";
            return;
        }
        out += '(';
        Print(node.a);
        out += ')';
        if (node.bits)
            out += '-';
        if (style == Float)
            out += '[';
        out += node.text;
        if (style == Float)
            out += ']';
    }
};

// The demangled text of a name without avr-nm's prefix and suffix; nullopt when it does not read.
std::optional<std::string> Demangle(std::string_view name)
{
    Reader reader{ name };
    int root = -1;
    std::string_view heading;
    if (name.substr(0, 2) == "_Z") {
        reader.at = 2;
        root = reader.CloneSuffixes(reader.Encoding());
        if (!reader.AtEnd())
            return std::nullopt;
    } else if (name.size() >= 11 && name.substr(0, 8) == "_GLOBAL_" && (name[8] == '.' || name[8] == '_' || name[8] == '$') &&
               (name[9] == 'I' || name[9] == 'D') && name[10] == '_') {
        // GCC's old names for a file's static constructors and destructors, what follows them read
        // as far as it goes when it is a mangled name.
        heading = name[9] == 'I' ? "global constructors keyed to " : "global destructors keyed to ";
        const std::string_view rest = name.substr(11);
        if (rest.empty())
            return std::nullopt;
        if (rest.substr(0, 2) != "_Z")
            return std::string(heading) + std::string(rest);
        reader.at = 13;
        root = reader.Encoding();
    } else {
        return std::nullopt;
    }
    if (root < 0 || reader.overflow)
        return std::nullopt;
    Printer printer{ reader.nodes };
    printer.out = heading;
    printer.Print(root);
    if (printer.failed || printer.out.size() > PrintedLimit)
        return std::nullopt;
    return std::move(printer.out);
}

}  // namespace

std::string DemangledName(std::string_view symbol)
{
    if (symbol.size() > DemangleSymbolLimit)
        return std::string(symbol);
    // avr-nm demangles what stands between leading dots or dollars and a version suffix.
    size_t from = 0;
    while (from < symbol.size() && (symbol[from] == '.' || symbol[from] == '$'))
        ++from;
    const size_t to = std::min(symbol.find('@', from), symbol.size());
    const std::optional<std::string> name = Demangle(symbol.substr(from, to - from));
    if (!name)
        return std::string(symbol);
    return std::string(symbol.substr(0, from)) + *name + std::string(symbol.substr(to));
}
