// tests/stack/simavr_deepest.c: runs an Arduino Leonardo build (.elf) in simavr's ATmega32U4 at
// 16 MHz for a number of simulated seconds and prints the deepest stack it reached, in bytes
// below RAMEND (RAMEND - lowest SP), with where it was reached. It is the measured side of the
// stack-depth checks: it says what one run did, not what the program could do.
//   simavr_deepest BUILD.elf [SECONDS]      (SECONDS: a positive number, 2 if not given)
// Prints one line:
//   deepest <bytes> sp 0x<sp> pc 0x<pc> <symbol>+0x<offset> cycles <cycles run>
// Exits 0 after a full run, 1 if the program crashed, stopped or never set SP, 2 on bad arguments
// or a file simavr cannot load.
//
// Sampling. SP is read after every step of the core (one instruction, then the timers and the
// interrupt entry simavr does after it), which sees every value SP takes: each instruction and
// each interrupt entry moves SP once. A step that writes SP's high byte by itself (out 0x3e,
// sts 0x5e: a frame being made or dropped) leaves SP half written, neither the old value nor the
// new one, until a step writes the low byte by itself; no sample is taken in between. The bytes
// are told apart with write hooks on SPL and SPH: simavr's own stack updates (push, pop, call,
// ret, interrupt entry) always write SPL then SPH together, so an SPL write followed at once by
// an SPH write is one of those, and any other write of either byte is the program's own.
//
// Start-up of the Leonardo core. USBDevice.attach() waits for PLOCK after setting PLLE. simavr's
// USB model sets PLOCK on that same write; a read hook on PLLCSR reports PLOCK whenever PLLE is set
// as well (a PLL locked after its few milliseconds), so the wait ends with any model of the bit.
// simavr's USB model has no host of its own: nothing would ever raise a USB interrupt. The probe
// plays the part of a host that never enumerates: 100 ms after the device attaches (UDCON's DETACH
// cleared, clock running) it resets the bus (simavr's reset ioctl raises End of Reset), then sends
// a start of frame every millisecond (SOFI and the USB general vector), so USB_GEN_vect runs as on
// a board plugged into a PC. No setup packet is sent: USB_COM_vect (enumeration) never runs here,
// and its depth is one the measurement cannot show. Timer 0 (millis, delay), timer 1 and timer 3
// are simavr's own.

#include <inttypes.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <sim_avr.h>
#include <avr_usb.h>
#include <sim_elf.h>

enum { Frequency = 16000000 };
// The ATmega32U4's PLL control register and its two bits that matter here.
enum { PllCsr = 0x49, PllEnable = 1 << 1, PllLock = 1 << 0 };
// The USB registers and bits the host's side reads and raises, and the USB general vector.
enum { UsbCon = 0xd8, UsbEnable = 1 << 7, FreezeClock = 1 << 5 };
enum { UdCon = 0xe0, Detach = 1 << 0, UdInt = 0xe1, UdIen = 0xe2, StartOfFrame = 1 << 2 };
enum { UsbGeneralVector = 10, FrameCycles = Frequency / 1000, ResetAfterFrames = 100 };

typedef struct StackWatch {
    int lowAwaitingHigh;   // an SPL write in this step not yet followed by an SPH write
    int highOnly;          // SPH written by itself and SPL not yet: SP is half written
    int sampled;           // a sample has been taken
    uint16_t lowest;
    avr_flashaddr_t lowestPc;
} StackWatch;

static StackWatch Watch;

static void WriteSpl(avr_t* avr, avr_io_addr_t addr, uint8_t v, void* param)
{
    (void)param;
    avr->data[addr] = v;
    if (Watch.lowAwaitingHigh)
        Watch.highOnly = 0;   // the previous SPL write had no SPH write after it: the program's own
    Watch.lowAwaitingHigh = 1;
}

static void WriteSph(avr_t* avr, avr_io_addr_t addr, uint8_t v, void* param)
{
    (void)param;
    avr->data[addr] = v;
    if (Watch.lowAwaitingHigh)
        Watch.lowAwaitingHigh = 0;   // simavr's two-byte stack update
    else
        Watch.highOnly = 1;
}

// Closes a step: an SPL write left without its SPH partner was the program's own low byte.
static void EndStep(avr_t* avr)
{
    if (Watch.lowAwaitingHigh) {
        Watch.highOnly = 0;
        Watch.lowAwaitingHigh = 0;
    }
    if (Watch.highOnly)
        return;
    uint16_t sp = (uint16_t)(avr->data[R_SPL] | (avr->data[R_SPH] << 8));
    if (!Watch.sampled || sp < Watch.lowest) {
        Watch.lowest = sp;
        Watch.lowestPc = avr->pc;
        Watch.sampled = 1;
    }
}

// Simulated time only: no wall-clock pacing while the program sleeps.
static void SleepNot(avr_t* avr, avr_cycle_count_t howLong)
{
    (void)avr;
    (void)howLong;
}

typedef struct Host {
    int attachedFrames;   // milliseconds the device has been attached, up to the bus reset
    int reset;
} Host;

static Host Bus;

static int Attached(const avr_t* avr)
{
    return (avr->data[UsbCon] & (UsbEnable | FreezeClock)) == UsbEnable && !(avr->data[UdCon] & Detach);
}

// Runs every millisecond: the host's bus reset once the device has been attached long enough,
// then a start of frame each time.
static avr_cycle_count_t HostFrame(avr_t* avr, avr_cycle_count_t when, void* param)
{
    (void)param;
    if (!Attached(avr)) {
        Bus.attachedFrames = 0;
        Bus.reset = 0;
    } else if (!Bus.reset) {
        if (++Bus.attachedFrames >= ResetAfterFrames) {
            avr_ioctl(avr, AVR_IOCTL_USB_RESET, NULL);
            Bus.reset = 1;
        }
    } else {
        avr->data[UdInt] |= StartOfFrame;
        avr_int_vector_t* general = avr->interrupts.vector[UsbGeneralVector];
        if ((avr->data[UdIen] & StartOfFrame) && general)
            avr_raise_interrupt(avr, general);
    }
    return when + FrameCycles;
}

static uint8_t ReadPllCsr(avr_t* avr, avr_io_addr_t addr, void* param)
{
    (void)param;
    if (avr->data[addr] & PllEnable)
        avr->data[addr] |= PllLock;
    return avr->data[addr];
}

// The linker's own names (__data_load_start, __DATA_REGION_LENGTH__, _etext, ...) are absolute
// values that fall among code addresses; a PC is named after a function or object, not after one
// of those. simavr's table keeps no symbol types, so they are told by their spelling.
static int IsLinkerName(const char* name)
{
    size_t n = strlen(name);
    if (strcmp(name, "_etext") == 0 || strcmp(name, "_edata") == 0 || strcmp(name, "_end") == 0)
        return 1;
    if (n < 3 || name[0] != '_' || name[1] != '_')
        return 0;
    if ((n > 6 && strcmp(name + n - 6, "_start") == 0) || (n > 4 && strcmp(name + n - 4, "_end") == 0))
        return 1;
    if (n > 4 && name[n - 1] == '_' && name[n - 2] == '_') {   // __TEXT_REGION_LENGTH__ and the like
        for (size_t i = 2; i + 2 < n; i++)
            if (!(name[i] == '_' || (name[i] >= 'A' && name[i] <= 'Z')))
                return 0;
        return 1;
    }
    return 0;
}

// The name of the code symbol at or before pc (simavr keeps them sorted by address), or NULL.
static const avr_symbol_t* SymbolAt(const elf_firmware_t* fw, avr_flashaddr_t pc)
{
    const avr_symbol_t* found = NULL;
    for (uint32_t i = 0; i < fw->symbolcount; i++) {
        const avr_symbol_t* s = fw->symbol[i];
        if (s->addr > pc)
            break;
        if (s->addr < fw->flashsize && !IsLinkerName(s->symbol))
            found = s;
    }
    return found;
}

// simavr's messages to stderr, errors and warnings only (it reports every section it loads).
static void LogToStderr(avr_t* avr, const int level, const char* format, va_list ap)
{
    (void)avr;
    if (level <= LOG_WARNING)
        vfprintf(stderr, format, ap);
}

// What elf_read_firmware allocated; simavr has no call of its own for it.
static void FreeFirmware(elf_firmware_t* fw)
{
    for (uint32_t i = 0; i < fw->symbolcount; i++)
        free(fw->symbol[i]);
    free(fw->symbol);
    free(fw->flash);
    free(fw->eeprom);
    free(fw->fuse);
    free(fw->lockbits);
}

#ifdef __SANITIZE_ADDRESS__
// simavr keeps the names of its IRQs to the end of the process (avr_terminate frees the rest):
// LeakSanitizer is told so, and still reports any leak of this file's own.
const char* __lsan_default_suppressions(void);
const char* __lsan_default_suppressions(void)
{
    return "leak:libsimavr.so\n";
}

const char* __lsan_default_options(void);
const char* __lsan_default_options(void)
{
    return "print_suppressions=0";
}
#endif

static int ParseSeconds(const char* text, double* seconds)
{
    char* end = NULL;
    double v = strtod(text, &end);
    if (end == text || *end != '\0' || !(v > 0) || v > 3600)
        return 0;
    *seconds = v;
    return 1;
}

int main(int argc, char** argv)
{
    double seconds = 2;
    if (argc < 2 || argc > 3 || (argc == 3 && !ParseSeconds(argv[2], &seconds))) {
        fprintf(stderr, "usage: %s BUILD.elf [SECONDS]\n", argv[0]);
        return 2;
    }
    avr_global_logger_set(LogToStderr);
    elf_firmware_t fw;
    memset(&fw, 0, sizeof fw);
    if (elf_read_firmware(argv[1], &fw) != 0 || fw.flashsize == 0) {
        fprintf(stderr, "%s: not a loadable .elf\n", argv[1]);
        FreeFirmware(&fw);
        return 2;
    }
    avr_t* avr = avr_make_mcu_by_name("atmega32u4");
    if (!avr || avr_init(avr) != 0) {
        fprintf(stderr, "simavr has no atmega32u4\n");
        FreeFirmware(&fw);
        return 2;
    }
    avr->log = LOG_WARNING;
    avr_load_firmware(avr, &fw);
    avr->frequency = Frequency;   // an Arduino build carries no .mmcu section to say so
    avr->sleep = SleepNot;
    avr_register_io_write(avr, R_SPL, WriteSpl, NULL);
    avr_register_io_write(avr, R_SPH, WriteSph, NULL);
    avr_register_io_read(avr, PllCsr, ReadPllCsr, NULL);
    avr_cycle_timer_register(avr, FrameCycles, HostFrame, NULL);

    const avr_cycle_count_t limit = (avr_cycle_count_t)(seconds * Frequency);
    int state = cpu_Running;
    while (avr->cycle < limit) {
        state = avr_run(avr);
        EndStep(avr);
        if (state == cpu_Done || state == cpu_Crashed || state == cpu_Stopped)
            break;
    }
    int status = 0;
    if (!Watch.sampled) {
        fprintf(stderr, "%s: SP was never set\n", argv[1]);
        status = 1;
    } else {
        const avr_symbol_t* s = SymbolAt(&fw, Watch.lowestPc);
        printf("deepest %d sp 0x%04x pc 0x%04" PRIx32 " %s+0x%" PRIx32 " cycles %" PRIu64 "\n",
               avr->ramend - Watch.lowest, Watch.lowest, (uint32_t)Watch.lowestPc, s ? s->symbol : "?",
               (uint32_t)(s ? Watch.lowestPc - s->addr : Watch.lowestPc), (uint64_t)avr->cycle);
    }
    if (state == cpu_Crashed || state == cpu_Stopped || state == cpu_Done) {
        fprintf(stderr, "%s: the program %s at cycle %" PRIu64 ", pc 0x%04" PRIx32 "\n", argv[1],
                state == cpu_Done ? "stopped" : "crashed", (uint64_t)avr->cycle, (uint32_t)avr->pc);
        status = 1;
    }
    avr_terminate(avr);
    FreeFirmware(&fw);
    return status;
}
