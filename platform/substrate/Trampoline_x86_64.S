# Forwards a call to the superclass's current implementation of the same
# selector, whatever the method's signature: the caller's argument registers
# are saved, the implementation looked up, the registers restored, and the
# implementation entered as if called directly.
#
# Entered from a stub that holds the hook record in %r11.

    .text
    .globl  substrate_forward_to_superclass
    .type   substrate_forward_to_superclass, @function
substrate_forward_to_superclass:
    .cfi_startproc
    pushq   %rbp
    .cfi_def_cfa_offset 16
    .cfi_offset %rbp, -16
    movq    %rsp, %rbp
    .cfi_def_cfa_register %rbp
    subq    $0xC0, %rsp
    movq    %rdi, 0x00(%rsp)
    movq    %rsi, 0x08(%rsp)
    movq    %rdx, 0x10(%rsp)
    movq    %rcx, 0x18(%rsp)
    movq    %r8,  0x20(%rsp)
    movq    %r9,  0x28(%rsp)
    movq    %rax, 0x30(%rsp)
    movdqa  %xmm0, 0x40(%rsp)
    movdqa  %xmm1, 0x50(%rsp)
    movdqa  %xmm2, 0x60(%rsp)
    movdqa  %xmm3, 0x70(%rsp)
    movdqa  %xmm4, 0x80(%rsp)
    movdqa  %xmm5, 0x90(%rsp)
    movdqa  %xmm6, 0xA0(%rsp)
    movdqa  %xmm7, 0xB0(%rsp)

    movq    %r11, %rdi              # the hook record; %rsi still holds the selector
    call    substrate_superclass_implementation
    movq    %rax, %r11

    movq    0x00(%rsp), %rdi
    movq    0x08(%rsp), %rsi
    movq    0x10(%rsp), %rdx
    movq    0x18(%rsp), %rcx
    movq    0x20(%rsp), %r8
    movq    0x28(%rsp), %r9
    movq    0x30(%rsp), %rax
    movdqa  0x40(%rsp), %xmm0
    movdqa  0x50(%rsp), %xmm1
    movdqa  0x60(%rsp), %xmm2
    movdqa  0x70(%rsp), %xmm3
    movdqa  0x80(%rsp), %xmm4
    movdqa  0x90(%rsp), %xmm5
    movdqa  0xA0(%rsp), %xmm6
    movdqa  0xB0(%rsp), %xmm7
    leave
    .cfi_def_cfa %rsp, 8
    jmp     *%r11
    .cfi_endproc
    .size   substrate_forward_to_superclass, .-substrate_forward_to_superclass

    .section .note.GNU-stack,"",@progbits
