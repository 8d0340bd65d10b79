s:
	.byte 8,2
	.byte 0b01000111,0b10011000
	.byte 0b11000011,0b00111000

s_mask:
	!byte 8,2
	!byte %0,%1
