Silva, João
Laboratório
"ACME" *
