#include "analyzer/StackDepth.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <set>
#include <unordered_map>

#include "analyzer/AvrDecode.h"
#include "analyzer/ElfProgram.h"
#include "analyzer/ElfRead.h"

namespace {

constexpr uint32_t SpLow = 0x3D, SpHigh = 0x3E, StatusRegister = 0x3F;
constexpr uint32_t ReturnAddressBytes = 2;
constexpr size_t MemoryLimit = size_t(64) << 10; // the largest flash and RAM of an avr5 device
constexpr uint64_t StepBudget = 4'000'000;       // instructions followed for one program, revisits included
constexpr int DepthRaiseLimit = 64;              // times a place's depth may grow before it counts as unbounded
constexpr uint32_t ConstId = 0xFFFFFFFF;         // the identity of a constant's halves in a Ref

// ---- The program: its code, its symbols, the functions whose addresses it takes, its vtables.

class Program {
public:
    explicit Program(const ElfProgram& elf) : elf_(elf)
    {
        start_ = elf.textAddress;
        end_ = start_ + uint32_t(elf.text.size());
        for (const ElfSymbol& s : elf.symbols)
            if (s.section == elf.textSection && s.type != ElfSymbolType::Object && s.value >= start_ && s.value < end_) {
                code_.push_back(&s);
                if (s.type == ElfSymbolType::Function)
                    functions_.push_back(s.value);
                if (s.name == "__tablejump2__")
                    tableJumpWords_ = s.value;
                else if (s.name == "__tablejump__")
                    tableJumpBytes_ = s.value;
            }
        std::stable_sort(code_.begin(), code_.end(), [](const ElfSymbol* a, const ElfSymbol* b) { return a->value < b->value; });
        std::sort(functions_.begin(), functions_.end());
        functions_.erase(std::unique(functions_.begin(), functions_.end()), functions_.end());
    }

    const ElfProgram& Elf() const { return elf_; }
    uint32_t Start() const { return start_; }
    uint32_t End() const { return end_; }
    bool InCode(uint32_t address) const { return address >= start_ && address < end_; }
    std::optional<AvrInstruction> Decode(uint32_t address) const { return DecodeAvr(elf_.text, start_, address); }
    std::optional<uint32_t> WordAt(uint32_t address) const
    {
        return address < start_ ? std::nullopt : ReadLittle(elf_.text, address - start_, 2);
    }
    bool IsFunctionStart(uint32_t address) const { return std::binary_search(functions_.begin(), functions_.end(), address); }
    // Which table jump of libgcc starts here: 2 for __tablejump2__ (Z a word address), 1 for __tablejump__.
    int TableJumpAt(uint32_t address) const
    {
        return address == tableJumpWords_ ? 2 : address == tableJumpBytes_ ? 1 : 0;
    }

    // The name of the symbol that starts at the address (a function before a label, a sized one
    // before an unsized one, the first of the table among equals), else of the one covering it.
    std::string_view NameAt(uint32_t address) const
    {
        const auto upper = Upper(address);
        const ElfSymbol* best = nullptr;
        const auto rank = [](const ElfSymbol* s) { return (s->type == ElfSymbolType::Function) * 2 + (s->size > 0); };
        for (auto it = upper; it != code_.begin() && (*(it - 1))->value == address;)
            if (--it, !best || rank(*it) >= rank(best))
                best = *it;
        if (best)
            return best->name;
        const ElfSymbol* covering = Covering(upper, address);
        return covering ? covering->name : std::string_view();
    }

    // The bytes of the function that starts at entry: the sized symbol covering it, else up to the
    // next symbol.
    std::pair<uint32_t, uint32_t> RangeOf(uint32_t entry) const
    {
        const auto upper = Upper(entry);
        if (const ElfSymbol* covering = Covering(upper, entry))
            return { covering->value, covering->value + covering->size };
        return { entry, upper == code_.end() ? end_ : (*upper)->value };
    }
    // The first symbol after the start of the code: where the vector table ends at the latest.
    uint32_t FirstSymbolAfterStart() const
    {
        for (const ElfSymbol* s : code_)
            if (s->value > start_)
                return s->value;
        return end_;
    }

private:
    // Labels inside a function that the search for the symbol covering an address passes over; a
    // function with more of them before the address is not found, and its code gets no name.
    static constexpr size_t CoveringLimit = 64;

    std::vector<const ElfSymbol*>::const_iterator Upper(uint32_t address) const
    {
        return std::upper_bound(code_.begin(), code_.end(), address, [](uint32_t a, const ElfSymbol* s) { return a < s->value; });
    }
    const ElfSymbol* Covering(std::vector<const ElfSymbol*>::const_iterator upper, uint32_t address) const
    {
        for (size_t passed = 0; upper != code_.begin() && passed < CoveringLimit; ++passed)
            if (--upper, (*upper)->size > 0 && address - (*upper)->value < (*upper)->size)
                return *upper;
        return nullptr;
    }

    const ElfProgram& elf_;
    uint32_t start_ = 0, end_ = 0;
    std::vector<const ElfSymbol*> code_;   // FUNC and NOTYPE symbols of .text, by address
    std::vector<uint32_t> functions_;      // where the FUNC ones start
    uint32_t tableJumpWords_ = ConstId, tableJumpBytes_ = ConstId;
};

void SortUnique(std::vector<uint32_t>& v)
{
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
}

struct Vtable {
    uint32_t ram = 0;                     // its data address as the code sees it
    std::string_view bytes;
    std::vector<uint32_t> addressPoints;  // offsets into it that objects point at
};

// Where calls through pointers may go: the functions whose word address the program holds outside
// the vtables (ldi pairs in the code, the constructors' table, the objects of flash and of .data),
// and the vtables of .data (_ZTV symbols) with their slots, counted from the address points objects
// point at: past the two header words, and where a vtable pointer in .data or one that the code
// stores points. One object per address, the first of the symbol table's, each up to the next, so
// that no symbol table makes the look-ups quadratic. Data no symbol names (the string literals of
// .data) is taken to hold no function's address.
class PointerTargets {
public:
    PointerTargets(const Program& p, uint32_t resetTarget) : p_(p), resetTarget_(resetTarget)
    {
        const ElfProgram& elf = p.Elf();
        // The objects of .data and of flash (PROGMEM), by where they start in their section; avr-libc's
        // PSTR strings (named __c) hold no function, nor do the anonymous string literals of .data.
        std::map<uint32_t, std::string_view> vtables, data, flash;
        uint32_t ctorsStart = 0, ctorsEnd = 0;
        for (const ElfSymbol& s : elf.symbols) {
            if (s.name == "__ctors_start")
                ctorsStart = s.value;
            else if (s.name == "__ctors_end")
                ctorsEnd = s.value;
            const bool inData = elf.dataSection != 0 && s.section == elf.dataSection;
            if (s.type != ElfSymbolType::Object || (!inData && s.section != elf.textSection))
                continue;
            const std::string_view section = inData ? elf.data : elf.text;
            const uint32_t at = s.value - (inData ? elf.dataAddress : elf.textAddress);
            if (at > section.size() || section.size() - at < s.size)
                continue;
            if (inData && s.name.substr(0, 4) == "_ZTV" && s.size >= 4)
                vtables.emplace(at, section.substr(at, s.size));
            else if (inData)
                data.emplace(at, section.substr(at, s.size));
            else if (s.name != "__c" && s.name.substr(0, 4) != "__c.")
                flash.emplace(at, section.substr(at, s.size));
        }
        for (const auto& [at, bytes] : Clipped(vtables)) {
            vtables_.push_back({ (elf.dataAddress + at) & 0xFFFF, bytes, { 4 } });
            for (size_t i = 0; i + 2 <= bytes.size(); ++i)
                VtableWord(*ReadLittle(bytes, i, 2));
        }
        // Words at any byte of an object: AVR data has no alignment.
        for (const auto& [at, bytes] : Clipped(data)) {
            objects_.push_back(bytes);
            for (size_t i = 0; i + 2 <= bytes.size(); ++i) {
                Taken(*ReadLittle(bytes, i, 2));
                AddressPoint(*ReadLittle(bytes, i, 2));   // an object of .data with its vtable pointer
            }
        }
        for (const auto& [at, bytes] : Clipped(flash))
            for (size_t i = 0; i + 2 <= bytes.size(); ++i)
                Taken(*ReadLittle(bytes, i, 2));
        for (uint32_t a = ctorsStart; a + 2 <= ctorsEnd && p.WordAt(a); a += 2)   // the constructors' table
            Taken(*p.WordAt(a));
        // ldi pairs as avr-gcc loads an address: the halves into a register pair one after the other,
        // or into one register with a store between.
        int previous = -1, previousValue = 0;
        uint32_t previousAt = 0;
        for (uint32_t a = p.Start(); a + 2 <= p.End(); a += 2) {
            const uint32_t w = *p.WordAt(a);
            if ((w & 0xF000) != 0xE000)
                continue;
            const int d = 16 + ((w >> 4) & 0x0F);
            const int k = int(((w >> 4) & 0xF0) | (w & 0x0F));
            if (previous >= 0 && a - previousAt == 2 && (previous ^ d) == 1)
                Taken(uint32_t(d & 1 ? previousValue | k << 8 : k | previousValue << 8));
            else if (previous == d && a - previousAt <= 6)
                Taken(uint32_t(previousValue | k << 8));
            previous = d;
            previousValue = k;
            previousAt = a;
        }
        SortUnique(other_);
        everything_.insert(everything_.end(), other_.begin(), other_.end());
        SortUnique(everything_);
    }

    // Every function whose address is taken outside the vtables.
    const std::vector<uint32_t>& Other() const { return other_; }
    // Those and every function of a vtable.
    const std::vector<uint32_t>& Everything() const { return everything_; }
    // True when a data address lies in a vtable.
    bool InVtable(uint32_t value) const
    {
        const auto after = std::upper_bound(vtables_.begin(), vtables_.end(), value,
                                            [](uint32_t v, const Vtable& t) { return v < t.ram; });
        return after != vtables_.begin() && value - (after - 1)->ram < (after - 1)->bytes.size();
    }

    // An address point: a vtable (its index) and the offset into it that an object points at.
    struct Point {
        uint32_t vtable = 0, offset = 0;
        auto operator<=>(const Point&) const = default;
    };

    // The address point that a data address is, if it points into a vtable past its two header words.
    std::optional<Point> PointAt(uint32_t value) const
    {
        const auto after = std::upper_bound(vtables_.begin(), vtables_.end(), value,
                                            [](uint32_t v, const Vtable& t) { return v < t.ram; });
        if (after == vtables_.begin())
            return std::nullopt;
        const uint32_t point = value - (after - 1)->ram;
        if (point < 4 || point >= (after - 1)->bytes.size() || point % 2)
            return std::nullopt;
        return Point{ uint32_t(after - 1 - vtables_.begin()), point };
    }

    // A value stored as an object's vtable pointer: one more address point of its vtable.
    void AddressPoint(uint32_t value)
    {
        const std::optional<Point> point = PointAt(value);
        if (!point)
            return;
        std::vector<uint32_t>& points = vtables_[point->vtable].addressPoints;
        if (points.size() < AddressPointLimit && std::find(points.begin(), points.end(), point->offset) == points.end())
            points.push_back(point->offset);
    }

    // Every function the given address points' vtables hold at offset from them; without any given,
    // of every vtable, and of the other objects of .data (hand-made tables of functions that
    // objects point at).
    std::vector<uint32_t> Slot(int32_t offset, const std::set<Point>* only = nullptr) const
    {
        std::vector<uint32_t> found;
        const auto take = [&](std::string_view bytes, int64_t at) {
            const std::optional<uint32_t> word = at >= 0 ? ReadLittle(bytes, uint64_t(at), 2) : std::nullopt;
            if (word && IsTarget(*word * 2))
                found.push_back(*word * 2);
        };
        if (only) {
            for (const Point& point : *only)
                take(vtables_[point.vtable].bytes, int64_t(point.offset) + offset);
        } else {
            for (const Vtable& v : vtables_)
                for (uint32_t point : v.addressPoints)
                    take(v.bytes, int64_t(point) + offset);
            for (std::string_view o : objects_)
                take(o, offset);
        }
        SortUnique(found);
        return found;
    }

    // For each function in a vtable, the address points whose slots hold it: the vtables an object
    // may have when that function is called for it through its vtable.
    std::map<uint32_t, std::vector<Point>> Memberships() const
    {
        std::map<uint32_t, std::vector<Point>> in;
        for (uint32_t v = 0; v < vtables_.size(); ++v)
            for (uint32_t point : vtables_[v].addressPoints)
                for (uint32_t at = point; at + 2 <= vtables_[v].bytes.size(); at += 2) {
                    const uint32_t word = *ReadLittle(vtables_[v].bytes, at, 2);
                    if (IsTarget(word * 2))
                        in[word * 2].push_back({ v, point });
                }
        return in;
    }

private:

    // A compiled function, not a label of libgcc's or avr-libc's assembly (the start-up code's
    // among them), and past the vectors and flash tables.
    bool IsTarget(uint32_t address) const
    {
        return p_.IsFunctionStart(address) && address > resetTarget_;
    }
    // Each object up to where the next begins, should their symbols overlap.
    static std::vector<std::pair<uint32_t, std::string_view>> Clipped(const std::map<uint32_t, std::string_view>& objects)
    {
        std::vector<std::pair<uint32_t, std::string_view>> clipped;
        for (auto it = objects.begin(); it != objects.end(); ++it) {
            const auto next = std::next(it);
            clipped.emplace_back(it->first, it->second.substr(0, next == objects.end() ? it->second.size() : next->first - it->first));
        }
        return clipped;
    }

    // A 16-bit value the program holds: a function's word address.
    void Taken(uint32_t value)
    {
        if (IsTarget(value * 2))
            other_.push_back(value * 2);
    }
    void VtableWord(uint32_t value)
    {
        if (IsTarget(value * 2))
            everything_.push_back(value * 2);
    }

    const Program& p_;
    uint32_t resetTarget_ = 0;
    std::vector<Vtable> vtables_;           // by address
    static constexpr size_t AddressPointLimit = 16;   // per vtable; a real one has one per base
    std::vector<std::string_view> objects_;
    std::vector<uint32_t> other_, everything_;
};

// ---- One function's code, followed with what is known of its registers.

enum class Kind : uint8_t {
    Unknown,
    Const,    // a known number
    Stack,    // a half of SP as read at some depth, with what was added since
    Plain,    // some value that was not read from RAM: an argument, a result, a computed one, flash
    Loaded,   // a value read from RAM through a pointer
};

// Where a register pair points: the identities of its halves and what was added to them.
struct Ref {
    uint32_t low = 0, high = 0;
    int32_t offset = 0;
    bool operator==(const Ref&) const = default;
};

struct Value {
    Kind kind = Kind::Unknown;
    bool spHigh = false;        // Stack: read from SPH, else from SPL
    bool hasFrom = false, hasVia = false;
    int32_t number = 0;         // Const: the value, carries and borrows kept; Stack: the depth when read
    int32_t adjust = 0;         // Stack, Plain, Loaded: what arithmetic added, in units of this byte
    uint32_t id = 0;            // Plain, Loaded: which value
    Ref from;                   // Loaded: the pointer it was read through, displacement added
    Ref via;                    // Loaded: the pointer that pointer was itself read through
    bool operator==(const Value&) const = default;
};

// Identities: where a value was made (address and register), where two met, or a function's own.
uint32_t MadeAt(uint32_t address, int reg) { return (address >> 1) << 7 | uint32_t(reg) << 2; }
uint32_t MetAt(uint32_t address, int reg) { return MadeAt(address, reg) | 1; }
uint32_t AtEntry(int reg) { return uint32_t(reg) << 2 | 2; }

Value Constant(int32_t n) { Value v; v.kind = Kind::Const; v.number = n; return v; }
Value PlainValue(uint32_t id) { Value v; v.kind = Kind::Plain; v.id = id; return v; }

// What a pair of registers holds as an address: nullopt unless both halves are constants or values
// of known identity.
std::optional<Ref> PairRef(const Value& low, const Value& high)
{
    Ref r;
    for (int half = 0; half < 2; ++half) {
        const Value& v = half ? high : low;
        const int32_t weight = half ? 256 : 1;
        uint32_t& id = half ? r.high : r.low;
        if (v.kind == Kind::Const) {
            id = ConstId;
            r.offset += v.number * weight;
        } else if (v.kind == Kind::Plain || v.kind == Kind::Loaded) {
            id = v.id;
            r.offset += v.adjust * weight;
        } else {
            return std::nullopt;
        }
    }
    return r;
}

// The pointer a pair was read through, when both halves were read through the same one, low then high.
std::optional<Ref> ReadThroughOne(const Value& low, const Value& high)
{
    if (low.kind == Kind::Loaded && high.kind == Kind::Loaded && low.hasFrom && high.hasFrom &&
        low.from.low == high.from.low && low.from.high == high.from.high && high.from.offset == low.from.offset + 1)
        return low.from;
    return std::nullopt;
}

void Add(Value& v, int32_t n)
{
    if (v.kind == Kind::Const)
        v.number += n;
    else if (v.kind != Kind::Unknown)
        v.adjust += n;
}

Value Merged(const Value& a, const Value& b, uint32_t join, int reg)
{
    if (a == b)
        return a;
    const auto plainish = [](const Value& v) { return v.kind == Kind::Const || v.kind == Kind::Plain; };
    if (plainish(a) && plainish(b))
        return PlainValue(MetAt(join, reg));
    if (a.kind == Kind::Loaded && b.kind == Kind::Loaded) {
        Value v;
        v.kind = Kind::Loaded;
        v.id = MetAt(join, reg);
        v.hasFrom = a.hasFrom && b.hasFrom && a.from == b.from;
        v.from = v.hasFrom ? a.from : Ref{};
        v.hasVia = a.hasVia && b.hasVia && a.via == b.via;
        v.via = v.hasVia ? a.via : Ref{};
        return v;
    }
    return Value{};
}

struct State {
    int32_t depth = 0;
    std::array<Value, 32> r;
    std::optional<Value> spLowWritten, spHighWritten;   // a half of SP written, the other not yet
};

// Merges a way's state into a block's: true when the block's changed.
bool MergeInto(State& into, const State& from, uint32_t join)
{
    bool changed = false;
    if (from.depth > into.depth) {
        into.depth = from.depth;
        changed = true;
    }
    for (int i = 0; i < 32; ++i)
        if (!(into.r[i] == from.r[i])) {
            const Value m = Merged(into.r[i], from.r[i], join, i);
            changed = changed || !(m == into.r[i]);
            into.r[i] = m;
        }
    // A half of SP written on one way only, or differently: the write completes as unknown.
    for (auto half : { &State::spLowWritten, &State::spHighWritten })
        if (into.*half != from.*half && !(into.*half && (into.*half)->kind == Kind::Unknown)) {
            into.*half = Value{};
            changed = true;
        }
    return changed;
}

// The register pairs that pass a function's arguments, r24:r25 (this, for a method) first, down to
// r8:r9; the first of a pair is 24 - 2 * its index.
constexpr int ArgumentPairs = 9;

// A pointer the analysis can name across functions: a constant data address, or one of the
// function's arguments as it came in, with an offset.
struct Object {
    enum class Base : uint8_t { Unknown, Address, Argument } base = Base::Unknown;
    uint8_t argument = 0;   // Argument: the index of its register pair
    int32_t offset = 0;
    auto operator<=>(const Object&) const = default;
};

Object ObjectOf(const std::optional<Ref>& r)
{
    if (r && r->low == ConstId && r->high == ConstId)
        return { Object::Base::Address, 0, r->offset & 0xFFFF };
    for (int k = 0; r && k < ArgumentPairs; ++k)
        if (r->low == AtEntry(24 - 2 * k) && r->high == AtEntry(25 - 2 * k))
            return { Object::Base::Argument, uint8_t(k), r->offset };
    return {};
}


// A constant byte stored at a named place: how constructors put a vtable pointer into an object.
struct Store {
    Object at;
    uint8_t value = 0;
    auto operator<=>(const Store&) const = default;
};

enum class SiteKind : uint8_t { Call, Jump, PointerCall, PointerJump };
enum class Targets : uint8_t { Other, All, Slot };

// A place where control leaves the function for another: its depth there and where it goes.
struct Site {
    SiteKind kind = SiteKind::Call;
    int32_t depth = 0;
    uint32_t target = 0;             // Call, Jump
    Targets targets = Targets::All;  // PointerCall, PointerJump
    int32_t slot = 0;                // Targets::Slot: the offset read from the vtable's address point
    Object object;                   // Targets::Slot: whose vtable it reads; Targets::Other: where the pointer was read
    std::array<Object, ArgumentPairs> passed;   // what it passes in each argument pair
};

struct Walk {
    int32_t ownMax = 0;
    std::vector<Site> sites;
    std::vector<Store> stores;
    std::vector<uint32_t> storedWords;   // constant register pairs stored anywhere
    bool enables = false;    // sets the I flag (sei)
    bool spWrite = false;    // writes SP with what it cannot follow, or grows the stack in a loop
    bool lost = false;       // calls or jumps where no code is known
};

// Follows one function from its entry through every instruction it can reach, block by block, the
// state at each block's start merged from every way in, until nothing changes. Reused for every
// function of a program: its per-address tables are stamped with the walk they belong to.
class Walker {
public:
    Walker(const Program& p, uint64_t& steps)
        : p_(p), steps_(steps), stamp_(p.Elf().text.size() / 2 + 1, 0), leaderOf_(stamp_.size()), blockOf_(stamp_.size())
    {
    }

    Walk Run(uint32_t entry, bool reset)
    {
        ++walk_;
        entry_ = entry;
        reset_ = reset;
        range_ = p_.RangeOf(entry);
        result_ = Walk{};
        leaders_.clear();
        queue_.clear();
        sites_.clear();
        stores_.clear();
        words_.clear();
        State start;
        for (int i = 0; i < 32; ++i)
            start.r[i] = PlainValue(AtEntry(i));
        start.r[1] = Constant(0);   // the ABI's zero register
        Reach(entry, start);
        while (!queue_.empty() && steps_ <= StepBudget) {
            const uint32_t leader = queue_.back();
            queue_.pop_back();
            leaders_[leader].queued = false;
            Follow(leader);
        }
        for (const auto& [address, site] : sites_)
            result_.sites.push_back(site);
        result_.stores.assign(stores_.begin(), stores_.end());
        result_.storedWords.assign(words_.begin(), words_.end());
        return result_;
    }

private:
    struct Leader {
        uint32_t address = 0;
        State state;
        int raises = 0;
        bool queued = false, frozen = false;
    };

    // The tables' slot of a code word, emptied if another walk wrote it.
    size_t Slot(uint32_t address)
    {
        const size_t slot = (address - p_.Start()) / 2;
        if (stamp_[slot] != walk_) {
            stamp_[slot] = walk_;
            leaderOf_[slot] = NoLeader;
            blockOf_[slot] = NoLeader;
        }
        return slot;
    }
    void Queue(uint32_t index)
    {
        if (!leaders_[index].queued && !leaders_[index].frozen) {
            leaders_[index].queued = true;
            queue_.push_back(index);
        }
    }

    // A way into address with the state s: a new block, or one more way into a known one.
    void Reach(uint32_t address, const State& s)
    {
        if (!p_.InCode(address) || (address & 1))
            return;
        const size_t slot = Slot(address);
        if (leaderOf_[slot] == NoLeader) {
            leaderOf_[slot] = uint32_t(leaders_.size());
            leaders_.push_back({ address, s });
            Queue(leaderOf_[slot]);
            if (blockOf_[slot] != NoLeader)   // walked before as part of another block: that one stops here now
                Queue(blockOf_[slot]);
            return;
        }
        Leader& l = leaders_[leaderOf_[slot]];
        if (l.frozen)
            return;
        const int32_t depth = l.state.depth;
        if (!MergeInto(l.state, s, address))
            return;
        if (l.state.depth > depth && ++l.raises > DepthRaiseLimit) {
            result_.spWrite = true;   // the stack grows on every way round a loop
            l.frozen = true;
            return;
        }
        Queue(leaderOf_[slot]);
    }

    // Walks the block from its leader up to where control leaves it or another block begins.
    void Follow(uint32_t index)
    {
        State s = leaders_[index].state;
        for (uint32_t a = leaders_[index].address;;) {
            const size_t slot = Slot(a);
            if (a != leaders_[index].address && leaderOf_[slot] != NoLeader) {
                Reach(a, s);
                return;
            }
            const std::optional<AvrInstruction> i = p_.Decode(a);
            if (++steps_ > StepBudget || !i || i->op == AvrOp::Unknown)
                return;
            blockOf_[slot] = index;
            const bool onward = Execute(*i, a, s);
            result_.ownMax = std::max(result_.ownMax, s.depth);
            a += i->length;
            if (!onward || !p_.InCode(a))
                return;
        }
    }

    Value Made(uint32_t address, int reg) const { return PlainValue(MadeAt(address, reg)); }

    // After a call: the registers the ABI lets a callee change hold new values; r1 is zero again.
    void Clobber(uint32_t address, State& s) const
    {
        for (int reg : { 0, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 30, 31 })
            s.r[reg] = Made(address, reg);
        s.r[1] = Constant(0);
    }

    // A site seen again (its block walked again with a wider state) keeps its deepest depth.
    void Record(uint32_t address, Site site)
    {
        const auto [it, fresh] = sites_.try_emplace(address, site);
        if (!fresh) {
            site.depth = std::max(site.depth, it->second.depth);
            it->second = site;
        }
    }

    // A half of SP written and the other not: nothing can follow the depth past here.
    void EndHalfWrite(State& s)
    {
        if (s.spLowWritten || s.spHighWritten)
            result_.spWrite = true;
        s.spLowWritten.reset();
        s.spHighWritten.reset();
    }

    void WriteSp(State& s)
    {
        const Value low = *s.spLowWritten, high = *s.spHighWritten;
        s.spLowWritten.reset();
        s.spHighWritten.reset();
        if (low.kind == Kind::Stack && high.kind == Kind::Stack && !low.spHigh && high.spHigh && low.number == high.number)
            s.depth = low.number - (low.adjust + 256 * high.adjust);
        else if (reset_ && low.kind == Kind::Const && high.kind == Kind::Const)
            s.depth = 0;   // the start-up code puts the stack at the end of RAM
        else
            result_.spWrite = true;
    }

    Value Load(uint32_t address, int reg, const Value& low, const Value& high, int32_t displacement) const
    {
        const std::optional<Ref> pointer = PairRef(low, high);
        if (!pointer)   // through SP or an unknown pointer: what was stored there is not followed
            return Value{};
        Value v;
        v.kind = Kind::Loaded;
        v.id = MadeAt(address, reg);
        v.hasFrom = true;
        v.from = *pointer;
        v.from.offset += displacement;
        if (const std::optional<Ref> via = ReadThroughOne(low, high)) {
            v.hasVia = true;
            v.via = *via;
        }
        return v;
    }

    void Access(const AvrInstruction& i, uint32_t address, State& s)
    {
        const AvrPointer p = i.pointer;
        const int base = (p == AvrPointer::X || p == AvrPointer::XPostIncrement || p == AvrPointer::XPreDecrement) ? 26
                       : (p == AvrPointer::Y || p == AvrPointer::YPostIncrement || p == AvrPointer::YPreDecrement) ? 28 : 30;
        if (p == AvrPointer::XPreDecrement || p == AvrPointer::YPreDecrement || p == AvrPointer::ZPreDecrement)
            Add(s.r[base], -1);
        Value loaded;
        if (i.op == AvrOp::Ld) {
            loaded = Load(address, i.rd, s.r[base], s.r[base + 1], i.displacement);
        } else if (s.r[i.rd].kind == Kind::Const) {
            Object at = ObjectOf(PairRef(s.r[base], s.r[base + 1]));
            at.offset += i.displacement;
            StoreConstant(at, i.rd, s);
        }
        if (p == AvrPointer::XPostIncrement || p == AvrPointer::YPostIncrement || p == AvrPointer::ZPostIncrement)
            Add(s.r[base], 1);
        if (i.op == AvrOp::Ld)
            s.r[i.rd] = loaded;
    }

    static std::array<Object, ArgumentPairs> Passed(const State& s)
    {
        std::array<Object, ArgumentPairs> passed;
        for (int k = 0; k < ArgumentPairs; ++k)
            passed[k] = ObjectOf(PairRef(s.r[24 - 2 * k], s.r[25 - 2 * k]));
        return passed;
    }

    // A constant register stored: where it goes, and with its pair a word that may be a vtable
    // pointer, wherever it goes.
    void StoreConstant(Object at, int reg, const State& s)
    {
        if (at.base == Object::Base::Address)
            at.offset &= 0xFFFF;
        if (at.base != Object::Base::Unknown)
            stores_.insert({ at, uint8_t(s.r[reg].number & 0xFF) });
        const Value& low = s.r[reg & ~1];
        const Value& high = s.r[reg | 1];
        if (low.kind == Kind::Const && high.kind == Kind::Const)
            words_.insert(uint32_t(low.number & 0xFF) | uint32_t(high.number & 0xFF) << 8);
    }

    // Where a call through Z goes: a known function, a vtable slot, or a set of functions.
    struct Through { std::optional<uint32_t> target; Targets targets = Targets::All; int32_t slot = 0; Object object; };
    Through ThroughZ(const State& s) const
    {
        const Value& low = s.r[30];
        const Value& high = s.r[31];
        if (low.kind == Kind::Const && high.kind == Kind::Const)
            return { uint32_t((low.number + 256 * high.number) & 0xFFFF) * 2, Targets::All, 0, {} };
        if (const std::optional<Ref> table = ReadThroughOne(low, high)) {
            if (!low.hasVia && !high.hasVia)   // read through a pointer that was not itself read from RAM
                return { std::nullopt, Targets::Other, 0, ObjectOf(low.from) };
            // A virtual call: the slot read through a vtable pointer read from an object, and the
            // object is what the call passes as this.
            const std::optional<Ref> self = PairRef(s.r[24], s.r[25]);
            if (low.hasVia && high.hasVia && low.via == high.via && self && *self == low.via && table->offset % 2 == 0)
                return { std::nullopt, Targets::Slot, table->offset, ObjectOf(low.via) };
            return { std::nullopt, Targets::All, 0, {} };
        }
        const auto plainish = [](const Value& v) { return v.kind == Kind::Const || v.kind == Kind::Plain; };
        if (plainish(low) && plainish(high))
            return { std::nullopt, Targets::Other, 0, {} };
        return { std::nullopt, Targets::All, 0, {} };
    }

    void Call(uint32_t target, uint32_t address, State& s)
    {
        EndHalfWrite(s);
        if (target == p_.Start())
            return;   // a call to the reset vector starts the program again, stack and all
        if (p_.InCode(target))
            Record(address, { SiteKind::Call, s.depth, target, Targets::All, 0, {}, Passed(s) });
        else
            result_.lost = true;
    }

    void Jump(uint32_t target, uint32_t address, State& s)
    {
        if (target == p_.Start())
            return;
        if (const int words = p_.TableJumpAt(target)) {
            Switch(address, s, words == 2);
            return;
        }
        if (!p_.InCode(target)) {
            result_.lost = true;
            return;
        }
        if (!reset_ && target != entry_ && p_.IsFunctionStart(target)) {
            EndHalfWrite(s);
            Record(address, { SiteKind::Jump, s.depth, target, Targets::All, 0, {}, Passed(s) });
            return;
        }
        Reach(target, s);   // the function's own code, or code it borrows (libgcc's prologue and epilogue)
    }

    // A jump into libgcc's table jump: a switch whose cases lie in the function, from the table that
    // Z indexes. avr-gcc adds the table's address to the case number with subi r30 and sbci r31 just
    // before the jump; else Z's own offset is taken, which holds the case number's adjustment too.
    void Switch(uint32_t address, const State& s, bool words)
    {
        std::optional<uint32_t> table;
        const std::optional<AvrInstruction> low = p_.Decode(address - 4), high = p_.Decode(address - 2);
        if (address >= p_.Start() + 4 && low && high && low->op == AvrOp::Subi && low->rd == 30 && high->op == AvrOp::Sbci &&
            high->rd == 31)
            table = uint32_t(-(low->immediate + 256 * high->immediate)) & 0xFFFF;
        else if (const std::optional<Ref> z = PairRef(s.r[30], s.r[31]))
            table = uint32_t(z->offset) & 0xFFFF;
        uint32_t found = 0;
        if (table) {
            State cases = s;
            for (int reg : { 0, 30, 31 })
                cases.r[reg] = Made(address, reg);
            for (uint32_t at = *table * (words ? 2 : 1); found <= (range_.second - range_.first) / 2; at += 2, ++found) {
                const std::optional<uint32_t> word = p_.WordAt(at);
                if (!word || *word * 2 < range_.first || *word * 2 >= range_.second)
                    break;
                Reach(*word * 2, cases);
            }
        }
        if (found == 0)
            result_.lost = true;
    }

    void PointerSite(bool call, uint32_t address, State& s)
    {
        const Through through = ThroughZ(s);
        if (through.target) {
            if (call)
                Call(*through.target, address, s);
            else
                Jump(*through.target, address, s);
            return;
        }
        EndHalfWrite(s);
        Record(address, { call ? SiteKind::PointerCall : SiteKind::PointerJump, s.depth, 0, through.targets, through.slot,
                          through.object, Passed(s) });
    }

    // The instruction's effect on the state; false when control does not go on to the next one.
    bool Execute(const AvrInstruction& i, uint32_t a, State& s)
    {
        const uint32_t next = a + i.length;
        std::array<Value, 32>& r = s.r;
        switch (i.op) {
        case AvrOp::Ldi: r[i.rd] = Constant(i.immediate); return true;
        case AvrOp::Mov: r[i.rd] = r[i.rr]; return true;
        case AvrOp::Movw: r[i.rd] = r[i.rr]; r[i.rd + 1] = r[i.rr + 1]; return true;
        case AvrOp::Eor: r[i.rd] = i.rd == i.rr ? Constant(0) : Made(a, i.rd); return true;
        case AvrOp::Add: case AvrOp::Adc: case AvrOp::Sub: case AvrOp::Sbc:
            if (i.rd == i.rr)
                r[i.rd] = i.op == AvrOp::Sub ? Constant(0) : Made(a, i.rd);
            else if (r[i.rr].kind == Kind::Const)
                Add(r[i.rd], (i.op == AvrOp::Add || i.op == AvrOp::Adc ? 1 : -1) * (r[i.rr].number & 0xFF));
            else
                r[i.rd] = Made(a, i.rd);
            return true;
        case AvrOp::Subi: case AvrOp::Sbci: Add(r[i.rd], -int32_t(i.immediate)); return true;
        case AvrOp::Adiw: Add(r[i.rd], int32_t(i.immediate)); return true;
        case AvrOp::Sbiw: Add(r[i.rd], -int32_t(i.immediate)); return true;
        case AvrOp::And: case AvrOp::Or: case AvrOp::Andi: case AvrOp::Ori: case AvrOp::Com: case AvrOp::Neg:
        case AvrOp::Swap: case AvrOp::Inc: case AvrOp::Dec: case AvrOp::Asr: case AvrOp::Lsr: case AvrOp::Ror:
        case AvrOp::Bld: case AvrOp::Xch: case AvrOp::Las: case AvrOp::Lac: case AvrOp::Lat:
            r[i.rd] = Made(a, i.rd);
            return true;
        case AvrOp::Mul: case AvrOp::Muls: case AvrOp::Mulsu: case AvrOp::Fmul: case AvrOp::Fmuls: case AvrOp::Fmulsu:
            r[0] = Made(a, 0);
            r[1] = Made(a, 1);
            return true;
        case AvrOp::In:
            if (i.immediate == SpLow || i.immediate == SpHigh) {
                Value v;
                v.kind = Kind::Stack;
                v.spHigh = i.immediate == SpHigh;
                v.number = s.depth;
                r[i.rd] = v;
            } else {
                r[i.rd] = Made(a, i.rd);
            }
            return true;
        case AvrOp::Out:
            if (i.immediate == SpLow)
                s.spLowWritten = r[i.rd];
            else if (i.immediate == SpHigh)
                s.spHighWritten = r[i.rd];
            else if (i.immediate == StatusRegister && r[i.rd].kind == Kind::Const && (r[i.rd].number & 0x80))
                result_.enables = true;
            if (s.spLowWritten && s.spHighWritten)
                WriteSp(s);
            return true;
        case AvrOp::Bset:
            if (i.bit == 7)
                result_.enables = true;
            return true;
        case AvrOp::Push: ++s.depth; return true;
        case AvrOp::Pop: --s.depth; r[i.rd] = Value{}; return true;
        case AvrOp::Ld: case AvrOp::St: Access(i, a, s); return true;
        case AvrOp::Sts:
            if (r[i.rd].kind == Kind::Const)
                StoreConstant({ Object::Base::Address, 0, i.immediate }, i.rd, s);
            return true;
        case AvrOp::Lds:
            r[i.rd] = Load(a, i.rd, Constant(i.immediate & 0xFF), Constant(i.immediate >> 8), 0);
            return true;
        case AvrOp::Lpm: case AvrOp::Elpm: {
            const int d = i.pointer == AvrPointer::None ? 0 : i.rd;
            if (i.pointer == AvrPointer::ZPostIncrement)
                Add(r[30], 1);
            r[d] = Made(a, d);
            return true;
        }
        case AvrOp::Rcall:
            if (i.target == next) {   // rcall .+0: two bytes of frame
                s.depth += ReturnAddressBytes;
                return true;
            }
            [[fallthrough]];
        case AvrOp::Call:
            Call(i.target, a, s);
            Clobber(a, s);
            return true;
        case AvrOp::Icall: case AvrOp::Eicall:
            PointerSite(true, a, s);
            Clobber(a, s);
            return true;
        case AvrOp::Rjmp: case AvrOp::Jmp: Jump(i.target, a, s); return false;
        case AvrOp::Ijmp: case AvrOp::Eijmp: PointerSite(false, a, s); return false;
        case AvrOp::Ret: case AvrOp::Reti: EndHalfWrite(s); return false;
        case AvrOp::Brbs: case AvrOp::Brbc:
            Reach(i.target, s);
            Reach(next, s);
            return false;
        case AvrOp::Cpse: case AvrOp::Sbrc: case AvrOp::Sbrs: case AvrOp::Sbic: case AvrOp::Sbis:
            Reach(next, s);
            if (const std::optional<AvrInstruction> skipped = p_.Decode(next))
                Reach(next + skipped->length, s);
            return false;
        default:   // compares, bit tests and sets, stores to I/O and data, nop, sleep, wdr, spm
            return true;
        }
    }

    static constexpr uint32_t NoLeader = std::numeric_limits<uint32_t>::max();
    const Program& p_;
    uint64_t& steps_;
    std::vector<uint32_t> stamp_, leaderOf_, blockOf_;   // per code word: the walk, its leader, the block walked through it
    uint32_t walk_ = 0;
    uint32_t entry_ = 0;
    bool reset_ = false;
    std::pair<uint32_t, uint32_t> range_;
    std::vector<Leader> leaders_;
    std::vector<uint32_t> queue_;
    std::map<uint32_t, Site> sites_;
    std::set<Store> stores_;
    std::set<uint32_t> words_;
    Walk result_;
};

// ---- The call graph, each function walked once, its deepest path kept.

using Point = PointerTargets::Point;

// What the analysis knows of the vtable an object's this has: the address points it may be, or
// nothing (any vtable).
using Types = std::optional<std::set<Point>>;

class Analysis {
public:
    Analysis(const Program& p, PointerTargets targets) : p_(p), targets_(std::move(targets)), walker_(p, steps_) {}

    bool OverBudget() const { return steps_ > StepBudget; }

    uint32_t FunctionNode(uint32_t entry, bool reset = false)
    {
        const auto [it, fresh] = functions_.try_emplace(entry, uint32_t(nodes_.size()));
        if (fresh) {
            Node n;
            n.entry = entry;
            n.reset = reset;
            nodes_.push_back(std::move(n));
        }
        return it->second;
    }

    // Walks every function the roots can reach (a pointer call reaching every function it may),
    // narrows the virtual calls to the vtables their objects may have, and links the call graph.
    void Discover(const std::vector<uint32_t>& roots)
    {
        roots_ = roots;
        std::vector<uint32_t> work = roots;
        while (!work.empty()) {
            const uint32_t n = work.back();
            work.pop_back();
            if (nodes_[n].walked)
                continue;
            nodes_[n].walked = true;
            nodes_[n].walk = walker_.Run(nodes_[n].entry, nodes_[n].reset);
            const std::vector<Site> sites = nodes_[n].walk.sites;   // FunctionNode adds nodes
            for (const Site& s : sites)
                if (s.kind == SiteKind::Call || s.kind == SiteKind::Jump)
                    work.push_back(FunctionNode(s.target));
                else   // every function of a vtable for a virtual call: its address points come with the stores
                    for (uint32_t m : TargetsOf(s) == Targets::Other ? targets_.Other() : targets_.Everything())
                        work.push_back(FunctionNode(m));
        }
        for (const Node& n : nodes_)
            for (uint32_t word : n.walk.storedWords)
                targets_.AddressPoint(word);
        StoredBytes();
        const std::vector<std::array<Types, ArgumentPairs>> types = ArgumentTypes();
        for (uint32_t n = 0; n < types.size(); ++n)   // the functions: Link adds the sets of targets
            Link(n, types[n]);
    }

    // Gives each node its deepest total, each once: a depth-first walk of the call graph that goes
    // round no cycle.
    void Evaluate(uint32_t root)
    {
        if (nodes_[root].status != Status::Fresh)
            return;
        std::vector<std::pair<uint32_t, size_t>> stack;
        nodes_[root].status = Status::Open;
        stack.emplace_back(root, 0);
        while (!stack.empty()) {
            const uint32_t n = stack.back().first;
            const size_t edge = stack.back().second++;
            if (edge < nodes_[n].edges.size()) {
                const uint32_t to = nodes_[n].edges[edge].to;
                if (nodes_[to].status == Status::Fresh) {
                    nodes_[to].status = Status::Open;
                    stack.emplace_back(to, 0);
                } else if (nodes_[to].status == Status::Open && unbounded_ == StackUnbounded::None) {
                    Unbounded(StackUnbounded::Recursion, InCycle(stack, to));
                }
                continue;
            }
            Finish(n);
            stack.pop_back();
        }
    }

    int64_t Total(uint32_t node) const { return nodes_[node].total; }
    bool Enables(uint32_t node) const { return nodes_[node].enables; }

    // The rows of the node's deepest path, entered with extra bytes (a return address, or none).
    void AppendPath(uint32_t node, uint32_t extra, bool interrupt, std::vector<StackStep>& path) const
    {
        uint32_t running = path.empty() ? 0 : path.back().total;
        for (size_t rows = 0; rows <= nodes_.size(); ++rows) {
            const Node& n = nodes_[node];
            const Edge* e = n.best >= 0 ? &n.edges[size_t(n.best)] : nullptr;
            if (n.set && e) {
                node = e->to;
                continue;
            }
            if (n.set) {   // a pointer call with nowhere known to go: its return address only
                path.push_back({ "", 0, extra, running + extra, interrupt });
                return;
            }
            StackStep step;
            step.function = std::string(p_.NameAt(n.entry));
            step.address = n.entry;
            step.bytes = uint32_t(std::max<int64_t>(0, int64_t(extra) + (e ? e->depth : n.walk.ownMax)));
            running += step.bytes;
            step.total = running;
            step.interrupt = interrupt;
            path.push_back(std::move(step));
            if (!e)
                return;
            extra = e->extra;
            node = e->to;
        }
    }

    StackUnbounded unbounded() const { return unbounded_; }
    const std::string& unboundedFunction() const { return unboundedFunction_; }

private:
    enum class Status : uint8_t { Fresh, Open, Done };
    struct Edge { uint32_t to = 0; int32_t depth = 0; uint32_t extra = 0; };
    struct Node {
        bool set = false;     // a set of pointer targets, whose edges are its members
        uint32_t entry = 0;
        bool reset = false, walked = false, enables = false;
        Walk walk;
        Status status = Status::Fresh;
        int64_t total = 0;
        int best = -1;        // the edge of the deepest path, -1 when the node's own depth is deepest
        std::vector<Edge> edges;
    };
    static constexpr size_t TypesLimit = 64;   // address points known for one argument; more count as any
    static constexpr size_t StoresLimit = 512; // constant bytes a function stores through its arguments, with its callees'

    void Unbounded(StackUnbounded why, std::string_view function)
    {
        if (unbounded_ == StackUnbounded::None) {
            unbounded_ = why;
            unboundedFunction_ = std::string(function);
        }
    }

    // The function of the cycle that comes back to the node: the node itself, or for a set of
    // targets the member of it on the way.
    std::string_view InCycle(const std::vector<std::pair<uint32_t, size_t>>& stack, uint32_t to) const
    {
        if (!nodes_[to].set)
            return p_.NameAt(nodes_[to].entry);
        for (size_t i = stack.size(); i-- > 1;)
            if (stack[i - 1].first == to)
                return p_.NameAt(nodes_[stack[i].first].entry);
        return {};
    }

    // What a pointer call may go to; a function read from a vtable's own address is no other pointer.
    Targets TargetsOf(const Site& s) const
    {
        if (s.targets == Targets::Other && s.object.base == Object::Base::Address && targets_.InVtable(uint32_t(s.object.offset)))
            return Targets::All;
        return s.targets;
    }

    // Where a pointer call may go; a virtual call to a slot of the given address points only, or of
    // every vtable. A slot no vtable has is no virtual call after all.
    std::vector<uint32_t> Members(Targets targets, int32_t slot, const std::set<Point>* only) const
    {
        if (targets == Targets::Other)
            return targets_.Other();
        if (targets == Targets::Slot) {
            std::vector<uint32_t> members = targets_.Slot(slot, only);
            if (members.empty() && only)
                members = targets_.Slot(slot);
            if (!members.empty())
                return members;
        }
        return targets_.Everything();
    }

    // The vtables an object at a data address may have: from the constant bytes stored at it and its
    // initial bytes in .data; nullopt when none point at a vtable.
    Types VtablesAt(uint32_t address) const
    {
        const auto low = bytes_.find(address & 0xFFFF), high = bytes_.find((address + 1) & 0xFFFF);
        if (unknownAt_.count(address & 0xFFFF) || low == bytes_.end() || high == bytes_.end())
            return std::nullopt;
        std::set<Point> points;
        for (uint8_t l : low->second)
            for (uint8_t h : high->second)
                if (const std::optional<Point> point = targets_.PointAt(uint32_t(l) | uint32_t(h) << 8))
                    points.insert(*point);
        if (points.empty())
            return std::nullopt;
        return points;
    }

    // The functions a site goes to, the unnarrowed set for a pointer call.
    std::vector<uint32_t> SiteTargets(const Site& s) const
    {
        if (s.kind == SiteKind::Call || s.kind == SiteKind::Jump)
            return { s.target };
        return Members(TargetsOf(s), s.slot, nullptr);
    }

    // The functions a site goes to given what the function's arguments may point at: a virtual call
    // to the slot of the vtables its object may have. With none known yet (no object reached the
    // argument), to none while the types are still being found, else to every vtable's slot.
    std::vector<uint32_t> NarrowedTargets(const Site& s, const std::array<Types, ArgumentPairs>& arguments, bool final) const
    {
        if (TargetsOf(s) != Targets::Slot)
            return SiteTargets(s);
        Types object;
        if (s.object.base == Object::Base::Argument && s.object.offset == 0)
            object = arguments[s.object.argument];
        else if (s.object.base == Object::Base::Address)
            object = VtablesAt(uint32_t(s.object.offset));
        if (object && object->empty())
            return final ? SiteTargets(s) : std::vector<uint32_t>{};
        return Members(Targets::Slot, s.slot, object ? &*object : nullptr);
    }

    // The constant bytes that may lie at each data address: .data's initial ones, those stored at
    // it, and those that the functions it is passed to store through that argument (constructors
    // storing the vtable pointer), with what they pass on to their own callees.
    void StoredBytes()
    {
        const ElfProgram& elf = p_.Elf();
        for (size_t i = 0; i < elf.data.size(); ++i)
            bytes_[(elf.dataAddress + i) & 0xFFFF].insert(uint8_t(elf.data[i]));
        using Through = std::set<std::tuple<int, int32_t, uint8_t>>;   // argument, offset, byte
        std::vector<Through> through(nodes_.size());
        std::vector<bool> tooMany(nodes_.size(), false);
        std::vector<std::vector<std::pair<uint32_t, const Site*>>> callers(nodes_.size());
        std::vector<uint32_t> work;
        for (uint32_t n = 0; n < nodes_.size(); ++n) {
            for (const Store& s : nodes_[n].walk.stores)
                if (s.at.base == Object::Base::Address)
                    bytes_[uint32_t(s.at.offset) & 0xFFFF].insert(s.value);
                else if (s.at.base == Object::Base::Argument)
                    through[n].insert({ s.at.argument, s.at.offset, s.value });
            for (const Site& s : nodes_[n].walk.sites)
                if (s.kind == SiteKind::Call || s.kind == SiteKind::Jump)
                    callers[functions_.at(s.target)].emplace_back(n, &s);
            work.push_back(n);
        }
        while (!work.empty()) {
            const uint32_t g = work.back();
            work.pop_back();
            for (const auto& [n, site] : callers[g]) {
                if (tooMany[n])
                    continue;
                const size_t before = through[n].size();
                for (const auto& [j, offset, value] : through[g])
                    if (site->passed[size_t(j)].base == Object::Base::Argument)
                        through[n].insert({ site->passed[size_t(j)].argument, site->passed[size_t(j)].offset + offset, value });
                tooMany[n] = tooMany[g] || through[n].size() > StoresLimit;
                if (tooMany[n])
                    through[n].clear();
                if (tooMany[n] || through[n].size() != before)
                    work.push_back(n);
            }
        }
        for (uint32_t g = 0; g < nodes_.size(); ++g)
            for (const auto& [n, site] : callers[g])
                for (int j = 0; j < ArgumentPairs; ++j)
                    if (site->passed[j].base == Object::Base::Address) {
                        const uint32_t at = uint32_t(site->passed[j].offset);
                        if (tooMany[g])
                            unknownAt_.insert(at & 0xFFFF);
                        for (const auto& [k, offset, value] : through[g])
                            if (k == j)
                                bytes_[(at + uint32_t(offset)) & 0xFFFF].insert(value);
                    }
    }

    // For each function and argument, the vtables the object it points at may have: a function a
    // vtable holds is called for objects of that vtable (any call through the vtable passes as this
    // the object it read it from); else what its callers pass, an object at a data address or an
    // argument of their own. Any vtable for the roots' arguments and for what a caller passes
    // otherwise. The least solution: what flows along the calls the types found so far allow.
    std::vector<std::array<Types, ArgumentPairs>> ArgumentTypes()
    {
        const size_t count = nodes_.size();
        std::vector<std::array<Types, ArgumentPairs>> types(count);
        for (auto& t : types)
            t.fill(std::set<Point>{});
        std::vector<bool> fromVtable(count, false);
        for (const auto& [entry, points] : targets_.Memberships())
            if (const auto it = functions_.find(entry); it != functions_.end()) {
                types[it->second][0]->insert(points.begin(), points.end());
                fromVtable[it->second] = true;
            }
        for (uint32_t m : targets_.Other())   // its address taken: called with anything as this too
            if (const auto it = functions_.find(m); it != functions_.end())
                fromVtable[it->second] = false;
        for (uint32_t root : roots_)
            for (Types& t : types[root])
                t.reset();
        std::vector<uint32_t> work(count);
        std::vector<bool> queued(count, true);
        for (uint32_t n = 0; n < count; ++n)
            work[n] = n;
        while (!work.empty()) {
            const uint32_t n = work.back();
            work.pop_back();
            queued[n] = false;
            for (const Site& s : nodes_[n].walk.sites) {
                const bool pointer = s.kind == SiteKind::PointerCall || s.kind == SiteKind::PointerJump;
                for (uint32_t entry : NarrowedTargets(s, types[n], false)) {
                    const uint32_t g = functions_.at(entry);
                    bool changed = false;
                    for (int j = 0; j < ArgumentPairs; ++j) {
                        const Object& o = s.passed[size_t(j)];
                        Types& to = types[g][size_t(j)];
                        if (!to || (j == 0 && pointer && fromVtable[g]))
                            continue;
                        const size_t before = to->size();
                        const Types from = o.base == Object::Base::Argument && o.offset == 0 ? types[n][o.argument]
                                         : o.base == Object::Base::Address ? VtablesAt(uint32_t(o.offset)) : std::nullopt;
                        if (from)
                            to->insert(from->begin(), from->end());
                        if (!from || to->size() > TypesLimit)
                            to.reset();
                        changed = changed || !to || to->size() != before;
                    }
                    if (changed && !queued[g]) {
                        queued[g] = true;
                        work.push_back(g);
                    }
                }
            }
        }
        return types;
    }

    // The node of a set of pointer targets, one per set.
    uint32_t SetNode(std::vector<uint32_t> members)
    {
        const auto found = sets_.find(members);
        if (found != sets_.end())
            return found->second;
        Node n;
        n.set = true;
        n.walked = true;
        for (uint32_t m : members)
            n.edges.push_back({ functions_.at(m), 0, 0 });
        const uint32_t index = uint32_t(nodes_.size());
        nodes_.push_back(std::move(n));
        sets_.emplace(std::move(members), index);
        return index;
    }

    void Link(uint32_t node, const std::array<Types, ArgumentPairs>& argumentTypes)
    {
        const auto unbounded = [&](StackUnbounded why) {
            if (unbounded_ == StackUnbounded::None)
                Unbounded(why, p_.NameAt(nodes_[node].entry));
        };
        if (nodes_[node].walk.spWrite)
            unbounded(StackUnbounded::SpWrite);
        if (nodes_[node].walk.lost)
            unbounded(StackUnbounded::PointerCall);
        std::vector<Edge> edges;
        const std::vector<Site> sites = nodes_[node].walk.sites;   // SetNode adds nodes
        for (const Site& s : sites) {
            const uint32_t extra = (s.kind == SiteKind::Call || s.kind == SiteKind::PointerCall) ? ReturnAddressBytes : 0;
            if (s.kind == SiteKind::Call || s.kind == SiteKind::Jump) {
                edges.push_back({ functions_.at(s.target), s.depth, extra });
                continue;
            }
            std::vector<uint32_t> members = NarrowedTargets(s, argumentTypes, true);
            if (members.empty())
                unbounded(StackUnbounded::PointerCall);
            const uint32_t set = SetNode(std::move(members));
            edges.push_back({ set, s.depth, extra });
        }
        nodes_[node].enables = nodes_[node].walk.enables;
        nodes_[node].edges = std::move(edges);
    }

    void Finish(uint32_t node)
    {
        Node& n = nodes_[node];
        n.total = n.set ? 0 : n.walk.ownMax;
        for (size_t k = 0; k < n.edges.size(); ++k) {
            const Node& to = nodes_[n.edges[k].to];
            if (to.status != Status::Done)   // a way back into the path: a recursion, not gone round
                continue;
            const int64_t total = int64_t(n.edges[k].depth) + n.edges[k].extra + to.total;
            if (n.best < 0 ? total >= n.total : total > n.total) {
                n.total = total;
                n.best = int(k);
            }
            n.enables = n.enables || to.enables;
        }
        n.status = Status::Done;
    }

    const Program& p_;
    PointerTargets targets_;
    uint64_t steps_ = 0;
    Walker walker_;
    std::vector<Node> nodes_;
    std::vector<uint32_t> roots_;
    std::unordered_map<uint32_t, uint32_t> functions_;
    std::map<std::vector<uint32_t>, uint32_t> sets_;
    std::map<uint32_t, std::set<uint8_t>> bytes_;   // the constant bytes each data address may hold
    std::set<uint32_t> unknownAt_;                   // data addresses given to a function that stores too much
    StackUnbounded unbounded_ = StackUnbounded::None;
    std::string unboundedFunction_;
};

}  // namespace

std::optional<StackDepth> DeepestStack(std::string_view elfBytes)
{
    const std::optional<ElfProgram> elf = ReadElfProgram(elfBytes);
    if (!elf || elf->text.empty() || elf->text.size() > MemoryLimit || elf->data.size() > MemoryLimit ||
        elf->symbols.empty())
        return std::nullopt;
    const Program p(*elf);

    // The vector table: a jump per vector from the start of the code, the reset vector first.
    std::vector<uint32_t> handlers;
    const uint32_t tableEnd = p.FirstSymbolAfterStart();
    for (uint32_t at = p.Start(); at + 4 <= tableEnd; at += 4) {
        const std::optional<AvrInstruction> i = p.Decode(at);
        if (!i || (i->op != AvrOp::Jmp && i->op != AvrOp::Rjmp))
            break;
        handlers.push_back(i->target);
    }
    const uint32_t resetTarget = handlers.empty() ? p.Start() : handlers[0];

    Analysis analysis(p, PointerTargets(p, resetTarget));
    const uint32_t root = analysis.FunctionNode(p.Start(), true);
    // The interrupts: each vector whose handler does not just start the program again (avr-libc's
    // __bad_interrupt jumps to the reset vector).
    std::vector<uint32_t> roots = { root }, interruptNodes;
    for (size_t v = 1; v < handlers.size(); ++v) {
        const uint32_t h = handlers[v];
        const std::optional<AvrInstruction> first = p.Decode(h);
        if (h == p.Start() || h == resetTarget || !p.InCode(h) ||
            (first && (first->op == AvrOp::Jmp || first->op == AvrOp::Rjmp) && first->target == p.Start()))
            continue;
        interruptNodes.push_back(analysis.FunctionNode(h));
        roots.push_back(interruptNodes.back());
    }
    analysis.Discover(roots);
    if (analysis.OverBudget())
        return std::nullopt;
    struct Interrupt { uint32_t node; int64_t bytes; bool enables; };
    std::vector<Interrupt> interrupts;
    analysis.Evaluate(root);
    for (uint32_t node : interruptNodes) {
        analysis.Evaluate(node);
        interrupts.push_back({ node, ReturnAddressBytes + analysis.Total(node), analysis.Enables(node) });
    }

    // Each interrupt comes on its own, the deepest of them on top of the main path; one that enables
    // interrupts again inside itself can have any other on top of it as well.
    std::vector<const Interrupt*> counted;
    const Interrupt* deepest = nullptr;
    for (const Interrupt& i : interrupts)
        if (i.enables)
            counted.push_back(&i);
        else if (!deepest || i.bytes > deepest->bytes)
            deepest = &i;
    if (deepest)
        counted.push_back(deepest);

    // The figure is what the rows add up to: where code pops more than it pushed, a row counts none.
    StackDepth depth;
    analysis.AppendPath(root, 0, false, depth.path);
    for (const Interrupt* i : counted)
        analysis.AppendPath(i->node, ReturnAddressBytes, true, depth.path);
    depth.bytes = depth.path.empty() ? 0 : depth.path.back().total;
    depth.unbounded = analysis.unbounded();
    depth.unboundedFunction = analysis.unboundedFunction();
    depth.mallocLinked = std::any_of(elf->symbols.begin(), elf->symbols.end(), [&](const ElfSymbol& s) {
        return s.name == "malloc" && s.type == ElfSymbolType::Function && s.section == elf->textSection;
    });
    return depth;
}
