* sprite
; hand
x: db $F0 ; c
	DB 0x0F, 0AAh , #$55 // c
  defb 129,0b1,00000011b
