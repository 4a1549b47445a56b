/* The plug-in's resources in named sections of the module, so that a host can read them
   without loading or running it. The blobs are written at build time into the build folder,
   which is on the include path. */
        .section .pipl,"a"
        .incbin "pipl.bin"

        .section .aete,"a"
        .incbin "aete.bin"

/* No executable stack. */
        .section .note.GNU-stack,"",%progbits
