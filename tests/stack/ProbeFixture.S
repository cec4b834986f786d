; tests/stack/ProbeFixture.S: the stack probe's own fixture, SP moved by hand so that the deepest
; stack is known to the byte. main is entered with SP = 0x0AFD (the start-up code's call of main).
;  - a call from SP = 0x0A05: 252 bytes inside leaf;
;  - SP to 0x09F5 the way a function's frame is made, high byte first: between the two writes SP
;    reads 0x0905 (506 bytes), a value it never really holds;
;  - a push there: 267 bytes;
;  - the low byte alone to 0xC0: SP = 0x09C0, 319 bytes, with no push or call below it. This is
;    the deepest, at the label lowest.
; A probe that samples the half-written SP says 506; one that samples only in pushes and calls
; says 267.
#include <avr/io.h>

    .global main
main:
    ldi r29, 0x0a
    ldi r28, 0x05
    out _SFR_IO_ADDR(SPH), r29
    out _SFR_IO_ADDR(SPL), r28
    rcall leaf
    ldi r29, 0x09
    ldi r28, 0xf5
    out _SFR_IO_ADDR(SPH), r29
    out _SFR_IO_ADDR(SPL), r28
    push r0
    pop r0
    ldi r28, 0xc0
    out _SFR_IO_ADDR(SPL), r28
    .global lowest
lowest:
    nop
    ldi r28, 0xf5
    out _SFR_IO_ADDR(SPL), r28
spin:
    rjmp spin

leaf:
    ret
